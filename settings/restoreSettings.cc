#include "settings/restoreSettings.h"

#include <boost/algorithm/string/erase.hpp>
#include <boost/lexical_cast.hpp>
#include <cstring>
#include <stdexcept>

#include "device/tInterfaceProxy_ae.h"
#include "device/deviceLookup.h"
#include "settings/classicBoostError.h"
#include "settings/loadSettingsFile.h"
#include "settings/settingKey.h"
#include "tqapal/tCompactStatus.h"
#include "tqapal/tStatus.h"

namespace nTQVLKAET100 {

using nTQAPAL000::tCompactStatusAdaptor;
using nTQAPAL000::tStatus;
using nTQAPAL000::throwIfFatal;

std::string unquotedValue(const std::string& value) {
  return boost::algorithm::erase_all_copy(value, "\"");
}

std::uint32_t convertValue32(const std::string& value) {
  try {
    return boost::lexical_cast<std::uint32_t>(value);
  } catch (const boost::bad_lexical_cast& error) {
    throwClassicBoostError(error);
  }
}

unsigned char convertValue8(const std::string& value) {
  try {
    return boost::lexical_cast<unsigned char>(value);
  } catch (const boost::bad_lexical_cast& error) {
    throwClassicBoostError(error);
  }
}

void applyPortSetting(const boost::property_tree::ptree::value_type& entry,
                      const std::string& value) {
  // The key is checked first, so a malformed key fails even when no such
  // device is present.
  const tSettingKey key = parseSettingKey(entry);
  const std::string path = findInterfacePath(key.serialNumber);
  if (path.empty()) return;

  tInterfaceProxy_ae proxy;
  {
    tStatus status;
    proxy.open(path.c_str(), status);
    throwIfFatal(status);
  }

  std::uint32_t size = 0;
  {
    tStatus status;
    tCompactStatusAdaptor adaptor(status);
    proxy.getProperty(key.port, kAllSelectors, key.propertyId, nullptr, 0, size, adaptor.block());
    adaptor.mergeBack();
    throwIfFatal(status);
  }

  unsigned char buffer[4] = {0, 0, 0, 0};
  switch (size) {
    case 4: {
      const std::uint32_t number = convertValue32(value);
      std::memcpy(buffer, &number, sizeof(number));
      break;
    }
    case 1:
      buffer[0] = convertValue8(value);
      break;
    default:
      throw std::runtime_error("The property size is incorrect. Verify the property ID.");
  }

  tStatus status;
  tCompactStatusAdaptor adaptor(status);
  proxy.setProperty(key.port, kAllSelectors, key.propertyId, buffer, size, adaptor.block());
  adaptor.mergeBack();
  throwIfFatal(status);
}

void restoreSettings() {
  const boost::property_tree::ptree tree = loadSettingsFile();
  if (tree.find(kPortSettingSection) == tree.not_found()) return;
  const boost::property_tree::ptree& section = tree.get_child(kPortSettingSection);
  for (const auto& entry : section) {
    applyPortSetting(entry, unquotedValue(entry.second.data()));
  }
}

}  // namespace nTQVLKAET100
