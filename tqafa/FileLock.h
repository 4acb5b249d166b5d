// SPDX-License-Identifier: MIT
// FileLock: the throwing front of FileLockImpl, the shared advisory lock that
// the settings loader holds on the settings file while it reads it, so that
// it never reads a file that another program is rewriting under an exclusive
// lock.
//
// lockShared blocks until the lock is granted and throws tqerr::Exception on
// failure; given a notice, it calls it once when the lock is not granted
// within a moment (another program holds it exclusively). The lock ends by an
// explicit unlock(); destroying the object does not unlock, and the object
// never closes the descriptor (closing it ends the lock at the latest).
#ifndef TQAFA_FILELOCK_H_
#define TQAFA_FILELOCK_H_

#include <cstdint>

#include "tqafa/internal/FileLockImpl.h"

namespace tqafa {

class FileLock {
 public:
  explicit FileLock(std::int32_t fd);
  ~FileLock() {}
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  void lockShared(const nTQVLKAET100::nTQAPAL000::tLockWaitNotice& notice = {});
  void unlock() { impl_.unlock(); }

 private:
  FileLockImpl impl_;
};

}  // namespace tqafa

#endif  // TQAFA_FILELOCK_H_
