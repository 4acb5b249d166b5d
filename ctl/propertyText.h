// SPDX-License-Identifier: MIT
// How tqvlkaectl writes port property values and restore's failures.
//
// A value is written in the form a settings file uses for it: a 4-byte value
// as its unsigned decimal number, a 1-byte value as its character (the
// character restore would write that code for); a code that no settings
// value can spell as one visible character is written "\xNN". The number of
// the value (the 4-byte number or the 1-byte code) goes with it for
// comparisons and JSON.
//
// A failure is written as restore's report line would write it to the
// journal (app/reports.h), so that the two can be matched.
#ifndef CTL_PROPERTYTEXT_H_
#define CTL_PROPERTYTEXT_H_

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

namespace nTQVLKAET100 {

struct tPropertyValue {
  std::uint32_t size = 0;
  std::uint64_t number = 0;  // host byte order; the code of a 1-byte value
  std::string text;          // as a settings file would hold it
};

tPropertyValue propertyValue(const unsigned char* bytes, std::uint32_t size);
inline tPropertyValue propertyValue(const std::vector<unsigned char>& bytes) {
  return propertyValue(bytes.data(), static_cast<std::uint32_t>(bytes.size()));
}

// The one report line (no newline) that restore writes for this failure.
std::string restoreReport(const std::exception_ptr& failure);

// Lower-case hexadecimal, as settings keys and the listing write serials.
std::string hexText(std::uint32_t value);

}  // namespace nTQVLKAET100

#endif  // CTL_PROPERTYTEXT_H_
