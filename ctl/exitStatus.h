// SPDX-License-Identifier: MIT
// The exit statuses of tqvlkaectl, decided here and nowhere else, in the
// manner of diff(1): 0 when nothing is wrong (check: no error, so restore
// would run through; diff: every entry in sync; show: every value read), 1
// when something is (an error in the file, an entry out of sync, a property
// the driver refused), 2 for trouble: a usage error, a file that cannot be
// read, devices that cannot be listed, output that cannot be written.
// Anything a command throws ends it with status 2.
#ifndef CTL_EXITSTATUS_H_
#define CTL_EXITSTATUS_H_

#include <stdexcept>

namespace nTQVLKAET100 {

enum CtlExitStatus : int {
  kCtlClean = 0,
  kCtlFound = 1,
  kCtlTrouble = 2,
  // apply: a run failed and the rollback could not put every change back.
  kCtlRollbackFailed = 3,
};

// What a command throws for trouble; main writes "tqvlkaectl: " and the
// message, and exits with kCtlTrouble.
class tCtlTrouble : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace nTQVLKAET100

#endif  // CTL_EXITSTATUS_H_
