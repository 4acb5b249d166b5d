// SPDX-License-Identifier: MIT
// tqvlkaectl apply: brings a running bench to the state a whole restore of a
// settings file would leave (restore/targetState.h), writing only the values
// that differ, proving each by reading it back, and putting back everything
// it changed when a write fails, a value does not read back within the
// verify timeout, a device disappears or SIGINT, SIGTERM or SIGHUP arrives
// (restore/applyEngine.h).
//
// Before anything is written: the run lock (ctl/runLock.h) keeps other
// applies and stores out, the file is read under its shared lock as restore
// reads it, and a file in which check --live finds an error is refused with
// check's findings. With check the plan alone is shown and nothing written.
#ifndef CTL_APPLY_H_
#define CTL_APPLY_H_

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace nTQVLKAET100 {

struct tApplyOptions {
  std::string file;  // empty: the file restore reads
  bool check = false;
  bool json = false;
  std::vector<std::uint32_t> serials;  // empty: every AE device
  std::chrono::milliseconds verifyTimeout{2000};
  bool wait = true;  // for the run lock
};

// Exit statuses (ctl/exitStatus.h): apply 0 when the bench is at the target
// (proven by read-back), 1 when it failed and every change was put back, 2
// when it refused before writing anything, 3 when the rollback failed too;
// with check 0 when nothing would change, 1 when something would. Throws
// tCtlTrouble for trouble before any write.
int runApply(const tApplyOptions& options, std::ostream& out, std::ostream& err);

}  // namespace nTQVLKAET100

#endif  // CTL_APPLY_H_
