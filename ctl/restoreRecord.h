// SPDX-License-Identifier: MIT
// The boot unit's record of its last run (systemd/tqvlkaepropinit.service,
// ExecStopPost): the file "last-restore" in the product's directory below
// the run state directory (/run/tq-vlnk/last-restore, relocatable as every
// installation directory). The unit writes it after each run, lines
// "result=<systemd's $SERVICE_RESULT>" and "exit_status=<$EXIT_STATUS>",
// through a temporary file and a rename; the file's modification time is
// when the run ended. Below /run it lasts until the machine restarts, so it
// always speaks of a restore of this boot. The tool itself writes nothing.
//
// A run succeeded only when the record says result=success and exit
// status 0; anything else in a record is a failure. A missing file is no
// record (the unit has not run since boot, or was skipped without a
// driver); so is a file that holds no result line.
#ifndef CTL_RESTORERECORD_H_
#define CTL_RESTORERECORD_H_

#include <optional>
#include <string>

namespace nTQVLKAET100 {

struct tRestoreRecord {
  bool success = false;
  double endedAt = 0;  // seconds since the epoch
  std::string result;  // the unit's result word, as recorded
};

// The record's path.
std::string restoreRecordPath();

// The record at path; nothing when there is none. Throws tCtlTrouble when
// the file is there but cannot be read.
std::optional<tRestoreRecord> readRestoreRecord(const std::string& path);

}  // namespace nTQVLKAET100

#endif  // CTL_RESTORERECORD_H_
