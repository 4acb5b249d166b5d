#include "settings/valueConversion.h"

#include <boost/algorithm/string/erase.hpp>
#include <boost/lexical_cast.hpp>
#include <cstring>
#include <stdexcept>

#include "settings/classicBoostError.h"

namespace nTQVLKAET100 {

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

std::string settingValueText(const std::string& rawValue) {
  std::string value = rawValue;
  boost::algorithm::erase_all(value, "\"");
  return value;
}

void convertSettingValue(const std::string& value, std::uint32_t size, unsigned char (&bytes)[4]) {
  switch (size) {
    case 4: {
      const std::uint32_t number = convertValue32(value);
      std::memcpy(bytes, &number, sizeof(number));
      break;
    }
    case 1:
      bytes[0] = convertValue8(value);
      break;
    default:
      throw std::runtime_error("The property size is incorrect. Verify the property ID.");
  }
}

bool convertsSettingValue(const std::string& value, std::uint32_t size, unsigned char (&bytes)[4]) {
  if (size == 4) {
    std::uint32_t number = 0;
    if (!boost::conversion::try_lexical_convert(value, number)) return false;
    std::memcpy(bytes, &number, sizeof(number));
    return true;
  }
  unsigned char code = 0;
  if (size != 1 || !boost::conversion::try_lexical_convert(value, code)) return false;
  bytes[0] = code;
  return true;
}

}  // namespace nTQVLKAET100
