// SPDX-License-Identifier: MIT
#include "tqapal/posixCalls.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <thread>
#include <utility>

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

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t count = retryInterrupted([&] { return ::write(fd, bytes.data(), bytes.size()); });
    if (count < 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(count));
  }
  return true;
}

std::string directoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

int syncDirectory(const std::string& directory) {
  const tDescriptor folder(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() < 0) return -1;
  return ::fsync(folder.get());
}

tTemporaryFile::tTemporaryFile(std::string pattern) : path_(std::move(pattern)) {
  file_.reset(::mkostemp(&path_[0], O_CLOEXEC));
  if (file_.get() < 0) path_.clear();
}

tTemporaryFile::~tTemporaryFile() {
  const int failure = errno;
  file_.reset(-1);
  if (!path_.empty()) ::unlink(path_.c_str());
  errno = failure;
}

bool tTemporaryFile::close() {
  return ::close(file_.release()) == 0;
}

int tTemporaryFile::renameTo(const std::string& target) {
  if (::rename(path_.c_str(), target.c_str()) != 0) return -1;
  path_.clear();
  return 0;
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
