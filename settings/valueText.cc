// SPDX-License-Identifier: MIT
#include "settings/valueText.h"

#include <cstdio>
#include <cstring>

namespace nTQVLKAET100 {

namespace {

std::string hexByte(const char* format, unsigned char byte) {
  char text[8];
  std::snprintf(text, sizeof text, format, byte);
  return text;
}

// Why no settings line carries the 1-byte value; empty when one does.
std::string unstorableByte(unsigned char byte) {
  if (byte == 0) return "a zero byte cannot be written in a settings line";
  if (byte < 0x20 || byte == 0x7F) {
    return "a control character (" + hexByte("0x%02X", byte) +
           ") cannot be written in a settings line";
  }
  if (byte > 0x7F) {
    return "a byte above 0x7E (" + hexByte("0x%02X", byte) +
           ") cannot be written in a settings line";
  }
  if (byte == '"') return "a double quote cannot be stored: restore removes it from every value";
  return std::string();
}

}  // namespace

std::optional<std::uint32_t> valueNumber(const unsigned char* bytes, std::uint32_t size) {
  if (size == 1) return bytes[0];
  if (size != 4) return std::nullopt;
  std::uint32_t number = 0;
  std::memcpy(&number, bytes, sizeof number);
  return number;
}

tValueText valueText(const unsigned char* bytes, std::uint32_t size) {
  tValueText value;
  if (size == 4) {
    value.text = std::to_string(*valueNumber(bytes, size));
  } else if (size == 1) {
    value.reason = unstorableByte(bytes[0]);
    if (value.reason.empty()) {
      // The reader trims white space around a value; restore drops quotes.
      value.text = bytes[0] == ' ' ? "\" \"" : std::string(1, static_cast<char>(bytes[0]));
    } else {
      value.shown = hexByte("\\x%02x", bytes[0]);
    }
  } else {
    value.reason = "restore writes values of 1 or 4 bytes, not " + std::to_string(size);
    value.shown = "0x";
    for (std::uint32_t i = 0; i < size; ++i) value.shown += hexByte("%02x", bytes[i]);
  }
  if (value.storable()) value.shown = value.text;
  return value;
}

std::string settingKeyText(std::uint32_t serialNumber, std::uint32_t port,
                           const char* propertyName) {
  char prefix[32];
  std::snprintf(prefix, sizeof prefix, "%x_%u_", serialNumber, port);
  return prefix + std::string(propertyName);
}

}  // namespace nTQVLKAET100
