// SPDX-License-Identifier: MIT
// The state a whole restore of a settings file leaves on the bench, as one
// list of values: what diff compares the live values with and what apply
// writes. It follows restore's steps in restore's order:
// - each entry of "PortSetting" is planned as restore plans it
//   (restore/benchView.h); an entry for an absent device is skipped, the
//   first failing entry ends the entries, and then no port pass follows;
// - a port property is left with the value of the last entry that writes it;
// - the port pass then leaves forcelinkdisable at the 1-byte value 0 on
//   every port of every listed device, on the device that restore reaches
//   for its serial (a repeated serial reaches the first device listed).
// With a serial selection only the entries and the port pass of the selected
// serials leave values; every entry is still planned, so a failure counts
// wherever it is.
//
// The values come in restore's order of their last writes: the entries' in
// the order of the entries that leave them, then the port pass's.
#ifndef RESTORE_TARGETSTATE_H_
#define RESTORE_TARGETSTATE_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "restore/applyEngine.h"
#include "restore/benchView.h"
#include "restore/entryPlan.h"
#include "settings/settingsLines.h"

namespace nTQVLKAET100 {

struct tTargetState {
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  // One plan per entry of the section, up to and including the entry
  // restore stops at.
  std::vector<tEntryPlan> plans;
  std::size_t stopEntry = kNone;  // the entry restore stops at, if any
  bool portPass = false;          // the port pass runs
  // The values restore leaves (tApplyTarget::line is the entry's line, 0
  // for the port pass).
  std::vector<tApplyTarget> values;
  // Per plan: the index in values of the value its property is left with;
  // kNone when the entry writes nothing (skipped, failing, not selected).
  std::vector<std::size_t> valueOf;
};

// serials: the selected serials; empty selects every one.
tTargetState settleTarget(tBenchView& bench, const tSettingsSection& section,
                          const std::vector<std::uint32_t>& serials = {});

}  // namespace nTQVLKAET100

#endif  // RESTORE_TARGETSTATE_H_
