// SPDX-License-Identifier: MIT
#include "tqafa/internal/FileLockImpl.h"

#include <sys/file.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "tqapal/errors.h"
#include "tqapal/tStatus.h"
#include "error/errnoDetail.h"

namespace tqafa {

namespace {

const tqerr::ErrorLocation kLockLocation = {"tqafa/internal/FileLockImpl", 218,
                                            nTQVLKAET100::nTQAPAL000::kComponentTool,
                                            "tqapalerr_osFault"};

// A signal that arrives while we wait is no reason to give up the wait.
int flockRepeated(int fd, int operation) {
  int result;
  do {
    result = flock(fd, operation);
  } while (result != 0 && errno == EINTR);
  return result;
}

// The assertion of this library, kept in every build (NDEBUG or not): a
// broken invariant must stop the tool rather than pass unnoticed.
[[noreturn]] void assertionFailed(const char* expression, const char* file, unsigned line,
                                  const char* function) {
  std::fprintf(stderr, "%s:%u: %s: Assertion `%s' failed.\n", file, line, function, expression);
  std::abort();
}

bool lockImpl(int fd) {
  return flockRepeated(fd, LOCK_SH) == 0;
}

void unlockImpl(int fd) {
  if (flockRepeated(fd, LOCK_UN) != 0) {
    // Our own lock on a descriptor we were given open: failing to release it
    // means the descriptor was closed or replaced behind our back.
    assertionFailed("false", "tqafa/internal/FileLockImpl", 251, "void unlockImpl(int)");
  }
}

}  // namespace

FileLockImpl::FileLockImpl(std::int32_t fd, tqerr::JsonStatus&) : fd_(fd) {}

void FileLockImpl::lockShared(tqerr::JsonStatus& status) {
  if (status.code < 0) return;
  if (lockImpl(fd_)) return;
  const int failure = errno;
  if (!tqerr::recordAt(status, tqapalerr_osFault, kLockLocation)) return;
  tqerr::appendErrnoDetail(status, failure);
}

void FileLockImpl::unlock() {
  unlockImpl(fd_);
}

}  // namespace tqafa
