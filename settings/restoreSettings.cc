// SPDX-License-Identifier: MIT
#include "settings/restoreSettings.h"

#include "device/deviceLookup.h"
#include "settings/entryPlan.h"
#include "settings/loadSettingsFile.h"

namespace nTQVLKAET100 {

const boost::property_tree::ptree* portSettingSection(const boost::property_tree::ptree& tree) {
  const auto section = tree.find(kPortSettingSection);
  return section == tree.not_found() ? nullptr : &section->second;
}

void restoreSettings() {
  const boost::property_tree::ptree tree = loadSettingsFile();
  const boost::property_tree::ptree* section = portSettingSection(tree);
  if (section == nullptr) return;
  for (const auto& entry : *section) {
    tEntryPlan plan = planEntry(entry.first, entry.second.data());
    writeEntryPlan(plan);
  }
}

void restoreSequence() {
  restoreSettings();
  clearForceLinkDisable();
}

}  // namespace nTQVLKAET100
