// How tqvlkaectl writes port property values and restore's failures.
//
// A value is written as settings/valueText.h spells it: the text a settings
// line holds for it, or its escaped bytes when no line can. The number of
// the value (the 4-byte number or the 1-byte code) goes with it for
// comparisons and JSON.
//
#ifndef CTL_PROPERTYTEXT_H_
#define CTL_PROPERTYTEXT_H_

#include <cstdint>
#include <string>
#include <vector>

namespace nTQVLKAET100 {

struct tPropertyValue {
  std::uint32_t size = 0;
  std::uint64_t number = 0;  // host byte order; the code of a 1-byte value
  std::string text;          // as a settings file would hold it, or escaped
  std::string unstorable;    // why no settings line can hold it; empty if one can
};

tPropertyValue propertyValue(const unsigned char* bytes, std::uint32_t size);
inline tPropertyValue propertyValue(const std::vector<unsigned char>& bytes) {
  return propertyValue(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

// Lower-case hexadecimal, as settings keys and the listing write serials.
std::string hexText(std::uint32_t value);

}  // namespace nTQVLKAET100

#endif  // CTL_PROPERTYTEXT_H_
