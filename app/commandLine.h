// Option mode of the entry point: parses --help/-h and --restore/-r, prints
// the option description, or runs the restore sequence (stored settings, then
// the port pass) and turns whatever it throws into one report line.
#ifndef APP_COMMANDLINE_H_
#define APP_COMMANDLINE_H_

#include <functional>
#include <ostream>

#include "restore/restoreSequence.h"

namespace nTQVLKAET100 {

// The work that --restore starts; the program passes restoreSequence
// (restore/restoreSequence.h). Its failure is written as the report line.
using RestoreAction = std::function<tRestoreRun()>;

// Returns the exit status.
int runOptionMode(int argc, const char* const argv[], std::ostream& out, std::ostream& err,
                  const RestoreAction& restore);

}  // namespace nTQVLKAET100

#endif  // APP_COMMANDLINE_H_
