// The restore sequence proper: every entry of the settings file's
// "PortSetting" section, in file order, is written to the port property of
// the device it names. An entry for a device that is not present is skipped;
// the first failure ends the sequence by throwing, and entries written before
// it stay written.
#ifndef SETTINGS_RESTORESETTINGS_H_
#define SETTINGS_RESTORESETTINGS_H_

#include <boost/property_tree/ptree.hpp>
#include <cstdint>
#include <string>

namespace nTQVLKAET100 {

constexpr const char* kPortSettingSection = "PortSetting";

void restoreSettings();

// Applies one entry; value is the entry's text with its double quotes
// already removed.
void applyPortSetting(const boost::property_tree::ptree::value_type& entry,
                      const std::string& value);

// An entry's value as restore converts it: its text with every double quote
// removed, wherever it stands.
std::string unquotedValue(const std::string& value);

// The value conversions for the two property sizes the driver may report;
// both throw the conversion error (boost::bad_lexical_cast).
std::uint32_t convertValue32(const std::string& value);
unsigned char convertValue8(const std::string& value);

}  // namespace nTQVLKAET100

#endif  // SETTINGS_RESTORESETTINGS_H_
