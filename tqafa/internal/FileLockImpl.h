// SPDX-License-Identifier: MIT
// FileLockImpl: an advisory whole-file flock lock on a descriptor that
// someone else opened and will close. It records the descriptor and nothing
// else; it never opens, closes or (on destruction) unlocks it. lockShared
// waits without limit while another process holds an exclusive lock (given
// a notice, calling it when the lock is not granted within a moment) and
// records any other failure in the caller's JsonStatus.
#ifndef TQAFA_INTERNAL_FILELOCKIMPL_H_
#define TQAFA_INTERNAL_FILELOCKIMPL_H_

#include <cstdint>

#include "error/JsonStatus.h"
#include "tqapal/posixCalls.h"

namespace tqafa {

class FileLockImpl {
 public:
  FileLockImpl(std::int32_t fd, tqerr::JsonStatus& status);
  // Leaves the operating-system lock as it is.
  ~FileLockImpl() {}

  // Blocking shared lock; -52008 with the errno detail on failure.
  void lockShared(tqerr::JsonStatus& status,
                  const nTQVLKAET100::nTQAPAL000::tLockWaitNotice& notice = {});
  // Releases the lock; unlocking what this object locked cannot fail.
  void unlock();

 private:
  std::int32_t fd_;
};

}  // namespace tqafa

#endif  // TQAFA_INTERNAL_FILELOCKIMPL_H_
