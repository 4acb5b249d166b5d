// SPDX-License-Identifier: MIT
// The restore sequence: every entry of the settings file's "PortSetting"
// section, in file order, is planned and written to the port property of the
// device it names (settings/entryPlan.h); then the port pass clears
// force-link-disable on every port of every AE device. An entry for a device
// that is not present is skipped; the first failure ends the sequence by
// throwing, before the port pass, and entries written before it stay
// written.
#ifndef SETTINGS_RESTORESETTINGS_H_
#define SETTINGS_RESTORESETTINGS_H_

#include <boost/property_tree/ptree.hpp>

namespace nTQVLKAET100 {

constexpr const char* kPortSettingSection = "PortSetting";

// The tree's "PortSetting" section (the name matched exactly), or null when
// it has none: then there is nothing to apply.
const boost::property_tree::ptree* portSettingSection(const boost::property_tree::ptree& tree);

// The entries of the settings file, planned and written one after another.
void restoreSettings();

// What --restore runs: restoreSettings, then clearForceLinkDisable.
void restoreSequence();

}  // namespace nTQVLKAET100

#endif  // SETTINGS_RESTORESETTINGS_H_
