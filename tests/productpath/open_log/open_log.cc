// A library preloaded into the tool by the tests: it appends the path of
// every open call, one a line, to the file named by TQ_OPEN_LOG, then lets
// the call go on to the next definition (the simulated driver, then the C
// library). It lets a test see which file the running tool looked for, even
// when that file does not exist.
#include <dlfcn.h>
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
  logPath(path);
  return next(path, flags, mode);
}

__attribute__((visibility("default"))) int open64(const char* path, int flags, ...) {
  static const OpenFunction next = nextOpen("open64");
  va_list args;
  va_start(args, flags);
  const mode_t mode = modeOf(flags, args);
  va_end(args);
  logPath(path);
  return next(path, flags, mode);
}

__attribute__((visibility("default"))) int __open_2(const char* path, int flags) {
  static const OpenFunction next = nextOpen("open");
  logPath(path);
  return next(path, flags, 0);
}

__attribute__((visibility("default"))) int __open64_2(const char* path, int flags) {
  static const OpenFunction next = nextOpen("open64");
  logPath(path);
  return next(path, flags, 0);
}

}  // extern "C"
