// The value of a "PortSetting" entry as restore writes it: the text after
// "=" loses every double quote, wherever it stands, and is converted for the
// size the driver reports for the property. A 4-byte property takes a
// decimal number that fits in 32 bits, with at most one sign ("-" negates
// modulo 2^32); a 1-byte property takes exactly one character, whose code is
// written. Any other size is refused.
#ifndef SETTINGS_VALUECONVERSION_H_
#define SETTINGS_VALUECONVERSION_H_

#include <cstdint>
#include <string>

namespace nTQVLKAET100 {

// rawValue without any double quote.
std::string settingValueText(const std::string& rawValue);

// The conversions for the two sizes; both throw the conversion error
// (boost::bad_lexical_cast, reported under its long-standing type name).
std::uint32_t convertValue32(const std::string& value);
unsigned char convertValue8(const std::string& value);

// Converts value for a property of size bytes into the first size bytes of
// bytes (host byte order); throws the conversion error for size 1 or 4 and
// std::runtime_error("The property size is incorrect. Verify the property
// ID.") for any other size.
void convertSettingValue(const std::string& value, std::uint32_t size, unsigned char (&bytes)[4]);

// convertSettingValue without the exception: false when it would throw.
bool convertsSettingValue(const std::string& value, std::uint32_t size, unsigned char (&bytes)[4]);

}  // namespace nTQVLKAET100

#endif  // SETTINGS_VALUECONVERSION_H_
