// The one section of the settings file that restore reads, "PortSetting",
// matched exactly (letter case included), in both readers: the INI reader's
// tree and the line-aware reader's sections.
#ifndef SETTINGS_PORTSETTINGSECTION_H_
#define SETTINGS_PORTSETTINGSECTION_H_

#include <boost/property_tree/ptree.hpp>

namespace nTQVLKAET100 {

constexpr const char* kPortSettingSection = "PortSetting";

// The tree's "PortSetting" section, or null when it has none: then there is
// nothing to apply.
const boost::property_tree::ptree* portSettingSection(const boost::property_tree::ptree& tree);

}  // namespace nTQVLKAET100

#endif  // SETTINGS_PORTSETTINGSECTION_H_
