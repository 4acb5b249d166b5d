// SPDX-License-Identifier: MIT
/* Preloaded into the settings replacement program by the store tests: one
 * chosen call of the write sequence fails (errno EIO) or kills the process
 * (SIGKILL) before it runs, to show that every step leaves the whole old or
 * the whole new file.
 *
 * TQ_WRITE_FAULT="CALL N ACTION": CALL is write, fsync or rename (write and
 * fsync counted on descriptors above 2 only, so that error messages still
 * reach standard error), N the number of that call counted from 1, ACTION
 * fail or kill. Unset: nothing happens. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

/* Whether this call of name is the chosen one: then it fails (returns 1) or
 * never returns. */
static int faultHere(const char* name) {
  static unsigned long counts[3];
  static const char* const names[3] = {"write", "fsync", "rename"};
  const char* fault = getenv("TQ_WRITE_FAULT");
  char call[16];
  unsigned long nth = 0;
  char action[8];
  if (fault == NULL || sscanf(fault, "%15s %lu %7s", call, &nth, action) != 3) return 0;
  for (int i = 0; i < 3; ++i) {
    if (strcmp(name, names[i]) != 0) continue;
    if (++counts[i] != nth || strcmp(call, name) != 0) return 0;
    if (strcmp(action, "kill") == 0) raise(SIGKILL);
    errno = EIO;
    return 1;
  }
  return 0;
}

ssize_t write(int fd, const void* buffer, size_t count) {
  ssize_t (*next)(int, const void*, size_t) = dlsym(RTLD_NEXT, "write");
  if (fd > 2 && faultHere("write")) return -1;
  return next(fd, buffer, count);
}

int fsync(int fd) {
  int (*next)(int) = dlsym(RTLD_NEXT, "fsync");
  if (fd > 2 && faultHere("fsync")) return -1;
  return next(fd);
}

int rename(const char* from, const char* to) {
  int (*next)(const char*, const char*) = dlsym(RTLD_NEXT, "rename");
  if (faultHere("rename")) return -1;
  return next(from, to);
}
