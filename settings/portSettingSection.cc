#include "settings/portSettingSection.h"

namespace nTQVLKAET100 {

const boost::property_tree::ptree* portSettingSection(const boost::property_tree::ptree& tree) {
  const auto section = tree.find(kPortSettingSection);
  return section == tree.not_found() ? nullptr : &section->second;
}

}  // namespace nTQVLKAET100
