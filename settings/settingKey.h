// The "PortSetting" key grammar and the lookup of its property word.
//
// A key names a device by its serial number (hexadecimal), a port (decimal)
// and a property word, read as "%x_%u_%s". The property word is matched
// without regard to letter case against the property table of the device
// layer (device/aeProperties.h).
#ifndef SETTINGS_SETTINGKEY_H_
#define SETTINGS_SETTINGKEY_H_

#include <boost/property_tree/ptree.hpp>
#include <cstdint>
#include <optional>
#include <string>

namespace nTQVLKAET100 {

struct tSettingKey {
  std::uint32_t serialNumber;
  std::uint32_t port;
  std::uint32_t propertyId;
};

// The key's parts before the property lookup.
struct tScannedKey {
  std::uint32_t serialNumber;
  std::uint32_t port;
  std::string propertyWord;  // as in the key
};

// Throws std::out_of_range ("map::at") for a name that is not in the table.
std::uint32_t lookupPropertyId(const std::string& name);

// Throws std::runtime_error("Invalid token found in settings INI.") when the
// key does not scan or its serial or port does not fit in 32 bits.
tScannedKey scanSettingKey(const std::string& key);

// The key as restore reads it, or nothing when restore fails on it (the key
// does not scan, or its property word is not in the table).
std::optional<tSettingKey> readSettingKey(const std::string& key);

// scanSettingKey, then lookupPropertyId of the word (and its error).
tSettingKey parseSettingKey(const std::string& key);
tSettingKey parseSettingKey(const boost::property_tree::ptree::value_type& entry);

}  // namespace nTQVLKAET100

#endif  // SETTINGS_SETTINGKEY_H_
