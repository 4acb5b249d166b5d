#include "settings/settingKey.h"

#include <cstdio>
#include <locale>
#include <map>
#include <stdexcept>
#include <vector>

namespace nTQVLKAET100 {

namespace {

const std::map<std::string, std::uint32_t>& propertyTable() {
  static const std::map<std::string, std::uint32_t> table = {
      {"portmode", 0x13FFFE},
      {"phystate", 0x13FFFD},
      {"forcelinkdisable", kPropertyForceLinkDisable},
      {"linkspeed", 0x13FFF7},
      {"jumboframes", 0x13FFF5},
      {"interruptmoderation", 0x13FFF3},
      {"sleepcapabilityconfigured", 0x13FFEF},
  };
  return table;
}

}  // namespace

std::uint32_t lookupPropertyId(const std::string& name) {
  // The global locale's classification, fetched once for the word rather
  // than once per character: the lookup runs for every settings entry.
  std::string lower(name);
  std::use_facet<std::ctype<char>>(std::locale())
      .tolower(lower.data(), lower.data() + lower.size());
  return propertyTable().at(lower);
}

tSettingKey parseSettingKey(const std::string& key) {
  unsigned int serial = 0;
  unsigned int port = 0;
  // The property word is always shorter than the key that holds it.
  std::vector<char> word(key.size() + 1, '\0');
  if (std::sscanf(key.c_str(), "%x_%u_%s", &serial, &port, word.data()) != 3) {
    throw std::runtime_error("Invalid token found in settings INI.");
  }
  return tSettingKey{serial, port, lookupPropertyId(word.data())};
}

tSettingKey parseSettingKey(const boost::property_tree::ptree::value_type& entry) {
  return parseSettingKey(entry.first);
}

}  // namespace nTQVLKAET100
