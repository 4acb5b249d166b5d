// SPDX-License-Identifier: MIT
// The run lock: one exclusive advisory lock (flock) on the file "apply.lock"
// in the product's directory below the run state directory
// (/var/run/tq-vlnk/apply.lock, relocatable as every installation
// directory), taken by the commands that change what restore would leave,
// apply and store, so that two of them never interleave. The directory and
// the file are created when missing. The lock ends with the object (the
// descriptor is closed), or with the process.
#ifndef CTL_RUNLOCK_H_
#define CTL_RUNLOCK_H_

#include <ostream>
#include <string>

#include "tqapal/posixCalls.h"

namespace nTQVLKAET100 {

class tRunLock {
 public:
  // Takes the lock. When another program holds it: with wait, waits for it,
  // saying so on err when it is not granted within a moment; without,
  // throws tCtlTrouble. Throws tCtlTrouble when the lock file cannot be
  // made or locked.
  tRunLock(bool wait, std::ostream& err);
  tRunLock(const tRunLock&) = delete;
  tRunLock& operator=(const tRunLock&) = delete;

  // The lock file's path.
  static std::string path();

 private:
  void lockOrWait(bool wait, std::ostream& err, const std::string& file);

  nTQAPAL000::tDescriptor fd_;
};

}  // namespace nTQVLKAET100

#endif  // CTL_RUNLOCK_H_
