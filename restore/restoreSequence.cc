#include "restore/restoreSequence.h"

#include <boost/property_tree/ptree.hpp>

#include "device/deviceLookup.h"
#include "restore/entryPlan.h"
#include "settings/loadSettingsFile.h"
#include "settings/portSettingSection.h"

namespace nTQVLKAET100 {

tRestoreRun restoreSettings() {
  tRestoreRun run;
  boost::property_tree::ptree tree;
  // Swapped in, not assigned: the tree of a large file is never copied.
  run.failure = captureFailure([&] { loadSettingsFile().swap(tree); });
  if (run.failure) return run;
  const boost::property_tree::ptree* section = portSettingSection(tree);
  if (section == nullptr) return run;
  std::size_t position = 0;
  for (const auto& entry : *section) {
    ++position;
    tEntryPlan plan = planEntry(entry.first, entry.second.data());
    run.failure = writeEntryPlan(plan);
    if (run.failure) {
      run.stopEntry = position;
      return run;
    }
    if (plan.step == tPlanStep::kReady) ++run.written;
  }
  return run;
}

tRestoreRun restoreSequence() {
  tRestoreRun run = restoreSettings();
  if (!run.failure) run.failure = captureFailure([] { clearForceLinkDisable(); });
  return run;
}

}  // namespace nTQVLKAET100
