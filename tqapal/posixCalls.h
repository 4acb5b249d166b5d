// SPDX-License-Identifier: MIT
// The small POSIX helpers that the layers above share, written once: an
// owner that closes a descriptor, the loop that repeats a call a signal
// interrupted (EINTR), a write of all bytes, the directory of a path and its
// fsync, a temporary file that is removed unless it is renamed into place,
// the recorder of the error number of a call that just failed, and a flock
// that says, after a moment, that it waits for another program's lock.
//
// Nothing here prints or throws: failures come back as -1 with errno set
// (or are recorded into the caller's status), as the system calls give them.
#ifndef TQAPAL_POSIXCALLS_H_
#define TQAPAL_POSIXCALLS_H_

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "error/JsonStatus.h"
#include "tqapal/tStatus.h"

namespace nTQVLKAET100::nTQAPAL000 {

// Owns a descriptor: closes it when destroyed or reset; release hands it on
// without closing it. -1 owns nothing.
class tDescriptor {
 public:
  explicit tDescriptor(int fd = -1) : fd_(fd) {}
  tDescriptor(const tDescriptor&) = delete;
  tDescriptor& operator=(const tDescriptor&) = delete;
  ~tDescriptor() { reset(-1); }
  void reset(int fd);
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

// call() again as long as it fails (-1) with EINTR; its last result, errno
// as that call left it.
template <typename Call>
auto retryInterrupted(Call&& call) -> decltype(call()) {
  decltype(call()) result;
  do {
    result = call();
  } while (result == -1 && errno == EINTR);
  return result;
}

// Writes all of bytes to fd, across signals and short writes; false (errno
// set) when a write fails.
bool writeAll(int fd, std::string_view bytes);

// The directory part of path as rename and fsync need it: "." for a bare
// name, "/" for a name right below the root.
std::string directoryOf(const std::string& path);

// fsync of a directory, so that a rename in it lasts; 0, or -1 with errno.
int syncDirectory(const std::string& directory);

// A file created exclusively (mkostemp: mode 0600, close-on-exec) from a
// pattern that ends in "XXXXXX", for content that replaces another file by
// rename. It is removed when destroyed unless renameTo moved it into place.
class tTemporaryFile {
 public:
  explicit tTemporaryFile(std::string pattern);
  tTemporaryFile(const tTemporaryFile&) = delete;
  tTemporaryFile& operator=(const tTemporaryFile&) = delete;
  ~tTemporaryFile();
  int fd() const { return file_.get(); }  // -1 (errno set) when not created
  const std::string& path() const { return path_; }
  // Closes the descriptor; false (errno set) when the close fails.
  bool close();
  // rename(2) onto target; 0, or -1 with errno (and the file still here).
  int renameTo(const std::string& target);

 private:
  std::string path_;  // empty once renamed, or when not created
  tDescriptor file_;
};

// Records the error number of the call that just failed into status as its
// code (mapErrno) at site; call it before anything else may change errno.
// Returns false, so a step can end with `return recordErrno(...)`.
bool recordErrno(tStatus& status, const tqerr::ErrorLocation& site);

// The same into a JsonStatus: code at site, and the error number with its
// text as the "internal_error" member (error/errnoDetail.h). Returns false.
bool recordErrnoDetail(tqerr::JsonStatus& status, std::int32_t code,
                       const tqerr::ErrorLocation& site);

// Called once when a lock is not granted within the quiet moment.
using tLockWaitNotice = std::function<void()>;
inline constexpr std::chrono::milliseconds kLockQuietWait{500};

// flock(fd, operation) (LOCK_SH or LOCK_EX) that waits for the lock, across
// signals. With a notice, it first asks without blocking every few
// milliseconds for the quiet moment; when the lock is still held by another
// then, it calls notice and waits. 0, or -1 with errno.
int flockWaiting(int fd, int operation, const tLockWaitNotice& notice = tLockWaitNotice(),
                 std::chrono::milliseconds quiet = kLockQuietWait);

}  // namespace nTQVLKAET100::nTQAPAL000

#endif  // TQAPAL_POSIXCALLS_H_
