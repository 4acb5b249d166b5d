// SPDX-License-Identifier: MIT
// The settings text as the restore sequence treats it: the loader's parse
// step cuts the bytes at the first zero byte and reads them with the INI
// reader; every entry of the
// "PortSetting" section then loses its double quotes and goes through the key
// grammar, the property table and both value conversions.
//
// The same bytes as an old settings file rewritten by a store with a fixed
// set of captured values: storeRewriteDifference must find nothing.
//
// Failures the tool reports (reader errors, "Invalid token found in settings
// INI.", "map::at", the conversion error) are expected results; any other
// exception, a crash, or a conversion that disagrees with the documented
// value grammar is a finding.
#include <algorithm>
#include <boost/lexical_cast.hpp>
#include <boost/property_tree/ini_parser.hpp>
#include <boost/property_tree/ptree.hpp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzzCheck.h"
#include "fuzz/storeRewriteDifference.h"
#include "settings/loadSettingsFile.h"
#include "settings/valueConversion.h"
#include "settings/settingKey.h"
#include "settings/storeRewrite.h"

namespace {

using nTQVLKAET100::convertValue32;
using nTQVLKAET100::convertValue8;
using nTQVLKAET100::lookupPropertyId;
using nTQVLKAET100::parseSettingKey;
using tqfuzz::check;

const char* const kPropertyNames[] = {"portmode",
                                      "phystate",
                                      "forcelinkdisable",
                                      "linkspeed",
                                      "jumboframes",
                                      "interruptmoderation",
                                      "sleepcapabilityconfigured"};

bool inTable(const std::string& name) {
  std::string lower = name;
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return std::find(std::begin(kPropertyNames), std::end(kPropertyNames), lower) !=
         std::end(kPropertyNames);
}

// The 4-byte value grammar: one optional sign, decimal digits that fit in 32
// bits, nothing else; "-" negates modulo 2^32.
bool expected32(const std::string& text, std::uint32_t& value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  std::uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    magnitude = magnitude * 10 + static_cast<std::uint64_t>(text[i] - '0');
    if (magnitude > 0xFFFFFFFFu) return false;
  }
  value = static_cast<std::uint32_t>(negative ? 0u - magnitude : magnitude);
  return true;
}

void checkValue(const std::string& value) {
  std::uint32_t wanted = 0;
  const bool valid = expected32(value, wanted);
  try {
    const std::uint32_t got = convertValue32(value);
    check(valid, "a 4-byte value outside the grammar converted");
    check(got == wanted, "a 4-byte value converted to another number");
  } catch (const boost::bad_lexical_cast&) {
    check(!valid, "a 4-byte value of the grammar was refused");
  }
  try {
    const unsigned char got = convertValue8(value);
    check(value.size() == 1, "a 1-byte value of other than one character converted");
    check(got == static_cast<unsigned char>(value[0]), "a 1-byte value changed its character");
  } catch (const boost::bad_lexical_cast&) {
    check(value.size() != 1, "a one-character 1-byte value was refused");
  }
}

void checkKey(const std::string& key) {
  try {
    const nTQVLKAET100::tSettingKey parsed = parseSettingKey(key);
    bool known = false;
    for (const char* name : kPropertyNames)
      known = known || parsed.propertyId == lookupPropertyId(name);
    check(known, "a key parsed to a property that is not in the table");
  } catch (const std::out_of_range&) {
  } catch (const std::runtime_error& error) {
    check(std::strcmp(error.what(), "Invalid token found in settings INI.") == 0,
          "the key grammar failed with another text");
  }
  // The property table on its own, with the key as the name.
  try {
    lookupPropertyId(key);
    check(inTable(key), "a name outside the table was found");
  } catch (const std::out_of_range&) {
    check(!inTable(key), "a name of the table, in some letter case, was not found");
  }
}

nTQVLKAET100::tCapturedValue captured(std::uint32_t serial, std::uint32_t port, const char* name,
                                      std::uint32_t size, std::uint32_t value) {
  nTQVLKAET100::tCapturedValue v{serial, port, lookupPropertyId(name), size, {0, 0, 0, 0}};
  if (size == 4) {
    std::memcpy(v.bytes, &value, sizeof value);
  } else {
    v.bytes[0] = static_cast<unsigned char>(value);
  }
  return v;
}

// Values of every kind: in place or appended, quoted, repeated, left out.
void checkRewrite(const std::uint8_t* data, std::size_t size) {
  static const std::vector<nTQVLKAET100::tCapturedValue> values = {
      captured(0x1a5, 0, "linkspeed", 4, 1000),
      captured(0x1a5, 0, "portmode", 1, ' '),
      captured(0x1a5, 1, "portmode", 4, 0xFFFFFFFF),
      captured(0x1a5, 0, "forcelinkdisable", 1, '1'),
      captured(0x1a5, 0, "phystate", 1, '"'),
      captured(0x3c9, 2, "jumboframes", 1, ';'),
      captured(0x1a5, 0, "linkspeed", 4, 100),
      captured(0, 0, "sleepcapabilityconfigured", 1, 0x85),
      captured(0x1a5, 1, "interruptmoderation", 2, 1),
      captured(0x3c9, 0, "linkspeed", 1, '#'),
  };
  const std::string_view old(reinterpret_cast<const char*>(data), size);
  const std::string difference =
      tqfuzz::storeRewriteDifference(old, values, nTQVLKAET100::rewriteSettings(old, values));
  if (!difference.empty()) std::fprintf(stderr, "%s\n", difference.c_str());
  check(difference.empty(), "a store's rewrite differs from the expected entries");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  checkRewrite(data, size);
  boost::property_tree::ptree tree;
  try {
    tree = nTQVLKAET100::parseSettingsText(reinterpret_cast<const char*>(data), size);
  } catch (const boost::property_tree::ini_parser_error&) {
    return 0;
  }
  const auto section = tree.find("PortSetting");
  if (section == tree.not_found()) return 0;
  for (const auto& entry : section->second) {
    const std::string value = nTQVLKAET100::settingValueText(entry.second.data());
    check(value.find('"') == std::string::npos, "a quote survived the quote removal");
    checkKey(entry.first);
    checkValue(value);
  }
  return 0;
}
