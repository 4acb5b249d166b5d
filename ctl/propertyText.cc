// SPDX-License-Identifier: MIT
#include "ctl/propertyText.h"

#include <cstdio>
#include <cstring>
#include <sstream>

#include "app/reports.h"

namespace nTQVLKAET100 {

tPropertyValue propertyValue(const unsigned char* bytes, std::uint32_t size) {
  tPropertyValue value;
  value.size = size;
  char text[8];
  if (size == 4) {
    std::uint32_t number = 0;
    std::memcpy(&number, bytes, 4);
    value.number = number;
    value.text = std::to_string(number);
  } else if (size == 1) {
    value.number = bytes[0];
    // Quotes are removed from settings values, so '"' cannot be spelled.
    if (bytes[0] > 0x20 && bytes[0] < 0x7F && bytes[0] != '"') {
      value.text = std::string(1, static_cast<char>(bytes[0]));
    } else {
      std::snprintf(text, sizeof text, "\\x%02x", bytes[0]);
      value.text = text;
    }
  } else {
    // No settings value has this size: the bytes in order.
    value.text = "0x";
    for (std::uint32_t i = 0; i < size; ++i) {
      std::snprintf(text, sizeof text, "%02x", bytes[i]);
      value.text += text;
      if (i < 8) value.number |= static_cast<std::uint64_t>(bytes[i]) << (8 * i);
    }
  }
  return value;
}

std::string restoreReport(const std::exception_ptr& failure) {
  std::ostringstream line;
  runReported(line, [&] { std::rethrow_exception(failure); });
  std::string text = line.str();
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

std::string hexText(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%x", value);
  return text;
}

}  // namespace nTQVLKAET100
