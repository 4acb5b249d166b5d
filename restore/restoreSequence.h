// The restore sequence: every entry of the settings file's "PortSetting"
// section, in file order, is planned and written to the port property of the
// device it names (restore/entryPlan.h); then the port pass clears
// force-link-disable on every port of every AE device. An entry for a device
// that is not present is skipped; the first failure (reading the file, an
// entry, the port pass) ends the sequence, before the port pass when it is
// an entry's, and entries written before it stay written.
//
// The sequence throws nothing but std::bad_alloc: its failure comes back as
// a value (restore/failure.h) for the program to report.
#ifndef RESTORE_RESTORESEQUENCE_H_
#define RESTORE_RESTORESEQUENCE_H_

#include <cstddef>
#include <optional>

#include "restore/failure.h"

namespace nTQVLKAET100 {

struct tRestoreRun {
  std::optional<tRestoreFailure> failure;  // none: restore ran through
  // The position (1 for the first) in "PortSetting" of the entry restore
  // stopped at; 0 when it stopped at none (the file, the port pass) or ran
  // through.
  std::size_t stopEntry = 0;
  std::size_t written = 0;  // the entries written (skipped ones not counted)
};

// The entries of the settings file, planned and written one after another.
tRestoreRun restoreSettings();

// What --restore runs: restoreSettings, then clearForceLinkDisable.
tRestoreRun restoreSequence();

}  // namespace nTQVLKAET100

#endif  // RESTORE_RESTORESEQUENCE_H_
