// SPDX-License-Identifier: MIT
// The command line of tqvlkaectl: "tqvlkaectl [-h] COMMAND [OPTIONS]" with
// the commands check, show and diff (ctl/check.h, ctl/show.h, ctl/diff.h),
// each with --help and --json. Parses, runs the command, and turns whatever
// it throws into one "tqvlkaectl: ..." line on err.
#ifndef CTL_COMMANDLINE_H_
#define CTL_COMMANDLINE_H_

#include <ostream>

namespace nTQVLKAET100 {

// Returns the exit status (ctl/exitStatus.h).
int runControl(int argc, const char* const argv[], std::ostream& out, std::ostream& err);

}  // namespace nTQVLKAET100

#endif  // CTL_COMMANDLINE_H_
