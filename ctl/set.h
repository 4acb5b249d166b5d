// SPDX-License-Identifier: MIT
// tqvlkaectl set: changes the settings file by hand or from a script, with
// the same care store takes. Entries given as KEY=VALUE are merged into the
// file as store merges what it reads from the devices
// (settings/storeRewrite.h: an entry naming the port property gets the value
// in place, a new one goes to the end of [PortSetting], every other byte
// stays); with --from the whole text comes from a file or standard input,
// and entries given as well are merged into that text.
//
// What it promises:
// - a key is read as restore reads it (settings/settingKey.h) and a value is
//   converted as restore converts it for the property's size; the file gets
//   the value in the one spelling of settings/valueText.h, so "-1" is
//   written as 4294967295 and "\"100\"" as 100. A key or value restore would
//   fail on, and forcelinkdisable (restore clears it after the entries), are
//   refused as usage errors before anything is read;
// - the new text is checked as check checks a file; an error refuses it
//   (exit status 1), reported with the line numbers of the new text, and
//   nothing is written;
// - a file that already holds the new text is left alone (so is a missing
//   file for an empty text); otherwise it is replaced whole under its lock
//   (settings/replaceSettingsFile.h), and a file that changes meanwhile is
//   read and merged again;
// - it says what changed: per entry changed, added or already right, and the
//   unified diff with dryRun (always in the JSON document), which writes
//   nothing.
#ifndef CTL_SET_H_
#define CTL_SET_H_

#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "settings/storeRewrite.h"

namespace nTQVLKAET100 {

// The KEY=VALUE arguments as values to store, or why one is refused.
struct tSetEntries {
  std::vector<tCapturedValue> values;
  std::string error;  // empty when every argument is an entry restore writes
};
tSetEntries parseSetEntries(const std::vector<std::string>& arguments);

struct tSetOptions {
  std::string file;  // empty: the file restore reads
  bool dryRun = false;
  bool json = false;                // one JSON document (ctl/schemas/set.schema.json)
  std::optional<std::string> from;  // the whole text: a file, or "-" for in
  std::vector<tCapturedValue> entries;
};

// Returns kCtlClean when the file holds the new text (or would, dryRun),
// kCtlFound when the new text is refused (ctl/exitStatus.h); throws for
// trouble. Says on notices when another program's lock on the file keeps it
// waiting.
int runSet(const tSetOptions& options, std::istream& in, std::ostream& out, std::ostream& notices);

}  // namespace nTQVLKAET100

#endif  // CTL_SET_H_
