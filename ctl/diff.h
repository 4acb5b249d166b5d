// SPDX-License-Identifier: MIT
// tqvlkaectl diff: for each entry of a settings file, the value restore
// would leave on the port against the value the port holds now. "Would
// leave" is the state after the whole restore: entries applied in file
// order (a later entry for the same port and property wins), then the port
// pass (forcelinkdisable 0 on every port). A 1-byte value compares as the
// character's code, as restore writes it. Each entry is in sync, differs,
// absent (no device has its serial: restore skips it), failing (restore
// would stop at it, with restore's report), or not applied (after a
// failing entry). The driver is asked what restore asks it and the live
// values are read; nothing is written.
#ifndef CTL_DIFF_H_
#define CTL_DIFF_H_

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace nTQVLKAET100 {

struct tDiffOptions {
  std::string file;  // empty: the file restore reads
  bool json = false;
  // Only the entries of these serials are shown and counted (restore still
  // stops where it stops); empty: every entry.
  std::vector<std::uint32_t> serials;
};

// Returns kCtlClean when every entry is in sync or names an absent device
// (restore skips it, and there is no port to differ), kCtlFound when any
// other is not (ctl/exitStatus.h); throws for trouble. Says on err when
// another program's lock keeps it waiting for the file.
int runDiff(const tDiffOptions& options, std::ostream& out, std::ostream& err);

}  // namespace nTQVLKAET100

#endif  // CTL_DIFF_H_
