// SPDX-License-Identifier: MIT
#include "ctl/propertyText.h"

#include <cstdio>
#include <utility>

#include "settings/valueText.h"

namespace nTQVLKAET100 {

tPropertyValue propertyValue(const unsigned char* bytes, std::uint32_t size) {
  tPropertyValue value;
  value.size = size;
  tValueText text = valueText(bytes, size);
  value.text = std::move(text.shown);
  value.unstorable = std::move(text.reason);
  if (const std::optional<std::uint32_t> number = valueNumber(bytes, size)) {
    value.number = *number;
  } else {
    // Sizes restore never writes: their bytes, least significant first.
    for (std::uint32_t i = 0; i < size && i < 8; ++i) {
      value.number |= static_cast<std::uint64_t>(bytes[i]) << (8 * i);
    }
  }
  return value;
}

std::string hexText(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%x", value);
  return text;
}

}  // namespace nTQVLKAET100
