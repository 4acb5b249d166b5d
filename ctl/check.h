// SPDX-License-Identifier: MIT
// tqvlkaectl check: every problem of a settings file that restore would
// meet, one line each in the form editors and CI read
// ("FILE:LINE: error: ..."), the line at which restore would stop, and a
// summary. Offline it judges what the file alone decides (syntax, keys,
// property words, values no property size accepts, sections, ownership);
// with live it also asks the driver what restore asks it, read-only: the
// device of each entry, its port count, the property's size.
#ifndef CTL_CHECK_H_
#define CTL_CHECK_H_

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "ctl/settingsSource.h"
#include "restore/benchView.h"

namespace nTQVLKAET100 {

struct tCheckOptions {
  std::string file;  // empty: the file restore reads
  bool live = false;
  bool json = false;
};

// Returns the exit status (ctl/exitStatus.h); throws for trouble. Says on
// err when another program's lock keeps it waiting for the file.
int runCheck(const tCheckOptions& options, std::ostream& out, std::ostream& err);

// The same on a file already read (options.file is not read again): what
// store runs on the file it is about to rewrite. With live, bench is the
// view that check asks (and fills: devices opened, sizes queried), so that
// apply plans its writes on what check saw and asks the driver nothing twice;
// null: a view of its own.
int runCheck(const tCheckOptions& options, const tSettingsSource& source, std::ostream& out,
             tBenchView* bench = nullptr);

// One problem check finds, as its JSON document names it.
struct tCheckProblem {
  unsigned long line;    // 0: the file as a whole
  const char* severity;  // "error", "warning" or "note"
  std::string message;
};

// What check finds in a file already read, with or without asking the
// driver (through bench when not null, as runCheck); writes nothing.
struct tCheckFindings {
  std::size_t errors = 0;               // what its summary counts
  std::vector<tCheckProblem> problems;  // in line order
  std::string text;                     // what check prints for it, summary last
};
tCheckFindings checkFindings(const tSettingsSource& source, bool live, tBenchView* bench = nullptr);

// The property name nearest to word by edit distance (letter case ignored).
const char* nearestPropertyName(const std::string& word);

}  // namespace nTQVLKAET100

#endif  // CTL_CHECK_H_
