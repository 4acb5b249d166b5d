// SPDX-License-Identifier: MIT
// A library preloaded into the tool by the tests: it appends the path of
// every open call, one a line, to the file named by TQ_OPEN_LOG, then lets
// the call go on to the next definition (the simulated driver, then the C
// library). It lets a test see which file the running tool looked for, even
// when that file does not exist.
//
// An open of a path that starts with TQ_OPEN_ABSENT (when set and not empty)
// is logged and then fails with ENOENT without reaching the file system: a
// test can let the tool look for a file at a host path, such as the default
// settings file, without the host's own file ever being read.
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

typedef int (*OpenFunction)(const char*, int, ...);

OpenFunction nextOpen(const char* name) {
  return reinterpret_cast<OpenFunction>(dlsym(RTLD_NEXT, name));
}

void logPath(const char* path) {
  const char* logFile = getenv("TQ_OPEN_LOG");
  static const OpenFunction realOpen = nextOpen("open");
  if (logFile == nullptr || path == nullptr || realOpen == nullptr) return;
  const int fd = realOpen(logFile, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  // One write per line, so that the lines of one process never interleave.
  const size_t length = strlen(path);
  char line[4097];
  if (length < sizeof line - 1) {
    memcpy(line, path, length);
    line[length] = '\n';
    ssize_t ignored = write(fd, line, length + 1);
    (void)ignored;
  }
  close(fd);
}

bool absent(const char* path) {
  const char* prefix = getenv("TQ_OPEN_ABSENT");
  if (path == nullptr || prefix == nullptr || *prefix == 0) return false;
  return strncmp(path, prefix, strlen(prefix)) == 0;
}

// Logs path, then opens it with next unless it is absent.
int logAndOpen(OpenFunction next, const char* path, int flags, mode_t mode) {
  logPath(path);
  if (absent(path)) {
    errno = ENOENT;
    return -1;
  }
  return next(path, flags, mode);
}

mode_t modeOf(int flags, va_list args) {
  return (flags & (O_CREAT | O_TMPFILE)) != 0 ? static_cast<mode_t>(va_arg(args, int)) : 0;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int open(const char* path, int flags, ...) {
  static const OpenFunction next = nextOpen("open");
  va_list args;
  va_start(args, flags);
  const mode_t mode = modeOf(flags, args);
  va_end(args);
  return logAndOpen(next, path, flags, mode);
}

__attribute__((visibility("default"))) int open64(const char* path, int flags, ...) {
  static const OpenFunction next = nextOpen("open64");
  va_list args;
  va_start(args, flags);
  const mode_t mode = modeOf(flags, args);
  va_end(args);
  return logAndOpen(next, path, flags, mode);
}

__attribute__((visibility("default"))) int __open_2(const char* path, int flags) {
  static const OpenFunction next = nextOpen("open");
  return logAndOpen(next, path, flags, 0);
}

__attribute__((visibility("default"))) int __open64_2(const char* path, int flags) {
  static const OpenFunction next = nextOpen("open64");
  return logAndOpen(next, path, flags, 0);
}

}  // extern "C"
