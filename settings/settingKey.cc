#include "settings/settingKey.h"

#include <cctype>
#include <cstdio>
#include <locale>
#include <map>
#include <stdexcept>
#include <vector>

#include "device/aeProperties.h"

namespace nTQVLKAET100 {

namespace {

// The device layer's property table by name, built once.
const std::map<std::string, std::uint32_t>& propertyTable() {
  static const std::map<std::string, std::uint32_t> table = [] {
    std::map<std::string, std::uint32_t> byName;
    for (const tAeProperty& property : kAeProperties) byName.emplace(property.name, property.id);
    return byName;
  }();
  return table;
}

// Whether the number text that scanf consumed, [begin, end), has a magnitude
// that fits in 32 bits. The C library's scanf stores an overflowing number
// cut down to its low bits (1000001a5 becomes 1a5, 4294967296 becomes 0), so
// a key naming a serial or port beyond 32 bits would otherwise be applied to
// another device or port.
bool fitsIn32Bits(const char* begin, const char* end, int base) {
  const char* p = begin;
  while (p < end && std::isspace(static_cast<unsigned char>(*p))) ++p;
  if (p < end && (*p == '+' || *p == '-')) ++p;
  if (base == 16 && end - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) p += 2;
  std::uint64_t magnitude = 0;
  for (; p < end; ++p) {
    const int digit = std::isdigit(static_cast<unsigned char>(*p))
                          ? *p - '0'
                          : std::tolower(static_cast<unsigned char>(*p)) - 'a' + 10;
    magnitude = magnitude * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    if (magnitude > 0xFFFFFFFFu) return false;
  }
  return true;
}

std::string lowerCase(const std::string& name) {
  // The global locale's classification, fetched once for the word rather
  // than once per character: the lookup runs for every settings entry.
  std::string lower(name);
  std::use_facet<std::ctype<char>>(std::locale())
      .tolower(lower.data(), lower.data() + lower.size());
  return lower;
}

// The scan of a key; false when it does not scan or a number overflows.
bool scanKey(const std::string& key, tScannedKey& scanned) {
  unsigned int serial = 0;
  unsigned int port = 0;
  // The property word is always shorter than the key that holds it.
  std::vector<char> word(key.size() + 1, '\0');
  // Where each number's text starts and ends, to check its range.
  int serialBegin = 0;
  int serialEnd = 0;
  int portBegin = 0;
  int portEnd = 0;
  const char* text = key.c_str();
  if (std::sscanf(text, "%n%x%n_%n%u%n_%s", &serialBegin, &serial, &serialEnd, &portBegin, &port,
                  &portEnd, word.data()) != 3 ||
      !fitsIn32Bits(text + serialBegin, text + serialEnd, 16) ||
      !fitsIn32Bits(text + portBegin, text + portEnd, 10)) {
    return false;
  }
  scanned = tScannedKey{serial, port, std::string(word.data())};
  return true;
}

}  // namespace

std::uint32_t lookupPropertyId(const std::string& name) {
  return propertyTable().at(lowerCase(name));
}

tScannedKey scanSettingKey(const std::string& key) {
  tScannedKey scanned;
  if (!scanKey(key, scanned)) throw std::runtime_error("Invalid token found in settings INI.");
  return scanned;
}

std::optional<tSettingKey> readSettingKey(const std::string& key) {
  tScannedKey scanned;
  if (!scanKey(key, scanned)) return std::nullopt;
  const auto& table = propertyTable();
  const auto found = table.find(lowerCase(scanned.propertyWord));
  if (found == table.end()) return std::nullopt;
  return tSettingKey{scanned.serialNumber, scanned.port, found->second};
}

tSettingKey parseSettingKey(const std::string& key) {
  const tScannedKey scanned = scanSettingKey(key);
  return tSettingKey{scanned.serialNumber, scanned.port, lookupPropertyId(scanned.propertyWord)};
}

tSettingKey parseSettingKey(const boost::property_tree::ptree::value_type& entry) {
  return parseSettingKey(entry.first);
}

}  // namespace nTQVLKAET100
