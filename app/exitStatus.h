// SPDX-License-Identifier: MIT
// The tool's exit statuses, decided here and nowhere else: 0 for a completed
// listing or restore, 1 for help and for every failure.
#ifndef APP_EXITSTATUS_H_
#define APP_EXITSTATUS_H_

namespace nTQVLKAET100 {

enum ExitStatus : int {
  kExitSuccess = 0,
  kExitFailure = 1,
};

}  // namespace nTQVLKAET100

#endif  // APP_EXITSTATUS_H_
