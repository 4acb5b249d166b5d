// SPDX-License-Identifier: MIT
/* Preloaded into the tool by the settings tests: every read() of a file
 * named tqvlkae.ini returns at most a few bytes, as a read interrupted by a
 * signal or served in pieces may. The loader must still see the whole file. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

enum { kPiece = 3 };

static int isSettingsFile(int fd) {
  char link[64];
  char target[4096];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  const ssize_t length = readlink(link, target, sizeof target - 1);
  if (length <= 0) return 0;
  target[length] = '\0';
  const char* name = strrchr(target, '/');
  return name != NULL && strcmp(name, "/tqvlkae.ini") == 0;
}

ssize_t read(int fd, void* buffer, size_t count) {
  typedef ssize_t (*ReadFunction)(int, void*, size_t);
  static ReadFunction next;
  if (next == NULL) next = (ReadFunction)dlsym(RTLD_NEXT, "read");
  if (count > kPiece && isSettingsFile(fd)) count = kPiece;
  return next(fd, buffer, count);
}
