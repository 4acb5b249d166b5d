// The tool's exit statuses, decided here and nowhere else: 0 for a completed
// listing or restore, 1 for help and for every failure. A run of reported
// work (restore/reports.h) ends with the same two.
#ifndef APP_EXITSTATUS_H_
#define APP_EXITSTATUS_H_

#include "restore/reports.h"

namespace nTQVLKAET100 {

enum ExitStatus : int {
  kExitSuccess = kReportedSuccess,
  kExitFailure = kReportedFailure,
};

}  // namespace nTQVLKAET100

#endif  // APP_EXITSTATUS_H_
