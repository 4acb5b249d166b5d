// SPDX-License-Identifier: MIT
#include "tqapal/posixCalls.h"

#include <sys/file.h>
#include <unistd.h>

#include <thread>

#include "error/errnoDetail.h"
#include "tqapal/errors.h"

namespace nTQVLKAET100::nTQAPAL000 {

namespace {

// How often a waiting flock asks again during the quiet moment.
constexpr std::chrono::milliseconds kLockPoll{20};

}  // namespace

void tDescriptor::reset(int fd) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

std::string directoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool recordErrno(tStatus& status, const tqerr::ErrorLocation& site) {
  const int failure = errno;
  setCode(status, mapErrno(failure), site);
  return false;
}

bool recordErrnoDetail(tqerr::JsonStatus& status, std::int32_t code,
                       const tqerr::ErrorLocation& site) {
  const int failure = errno;
  if (tqerr::recordAt(status, code, site)) tqerr::appendErrnoDetail(status, failure);
  return false;
}

int flockWaiting(int fd, int operation, const tLockWaitNotice& notice,
                 std::chrono::milliseconds quiet) {
  if (notice) {
    const auto noticeAt = std::chrono::steady_clock::now() + quiet;
    for (;;) {
      if (retryInterrupted([&] { return ::flock(fd, operation | LOCK_NB); }) == 0) return 0;
      if (errno != EWOULDBLOCK) return -1;
      if (std::chrono::steady_clock::now() >= noticeAt) break;
      std::this_thread::sleep_for(kLockPoll);
    }
    notice();
  }
  return retryInterrupted([&] { return ::flock(fd, operation); });
}

}  // namespace nTQVLKAET100::nTQAPAL000
