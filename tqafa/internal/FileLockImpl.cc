// SPDX-License-Identifier: MIT
#include "tqafa/internal/FileLockImpl.h"

#include <sys/file.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "tqapal/errors.h"
#include "tqapal/posixCalls.h"

namespace tqafa {

namespace {

const tqerr::ErrorLocation kLockLocation = {"tqafa/internal/FileLockImpl", 218,
                                            nTQVLKAET100::nTQAPAL000::kComponentTool,
                                            "tqapalerr_osFault"};

// The assertion of this library, kept in every build (NDEBUG or not): a
// broken invariant must stop the tool rather than pass unnoticed.
[[noreturn]] void assertionFailed(const char* expression, const char* file, unsigned line,
                                  const char* function) {
  std::fprintf(stderr, "%s:%u: %s: Assertion `%s' failed.\n", file, line, function, expression);
  std::abort();
}

void unlockImpl(int fd) {
  // A signal that arrives meanwhile is no reason to give up.
  if (nTQVLKAET100::nTQAPAL000::retryInterrupted([&] { return flock(fd, LOCK_UN); }) != 0) {
    // Our own lock on a descriptor we were given open: failing to release it
    // means the descriptor was closed or replaced behind our back.
    assertionFailed("false", "tqafa/internal/FileLockImpl", 251, "void unlockImpl(int)");
  }
}

}  // namespace

FileLockImpl::FileLockImpl(std::int32_t fd, tqerr::JsonStatus&) : fd_(fd) {}

void FileLockImpl::lockShared(tqerr::JsonStatus& status,
                              const nTQVLKAET100::nTQAPAL000::tLockWaitNotice& notice) {
  if (status.code < 0) return;
  if (nTQVLKAET100::nTQAPAL000::flockWaiting(fd_, LOCK_SH, notice) == 0) return;
  nTQVLKAET100::nTQAPAL000::recordErrnoDetail(status, tqapalerr_osFault, kLockLocation);
}

void FileLockImpl::unlock() {
  unlockImpl(fd_);
}

}  // namespace tqafa
