// SPDX-License-Identifier: MIT
// What the settings rewrite of a store must give, judged through the tool's
// own INI reader rather than through the rewrite's line positions: shared by
// the settings fuzz target and the settings tests.
//
// storeRewriteDifference(old, captured, rewrite) is empty when the rewrite
// refused exactly a text the reader refuses, one with a zero byte or one whose
// section name is taken by a top entry, or else when the new text parses to:
// everything but "PortSetting" as before; the old "PortSetting" entries in
// their order with their keys, the values of those naming a stored port
// property converting (as restore converts) to its captured bytes, the others
// unchanged; then one entry per stored value that no old entry named, in the
// order captured. The values stored are those of the documented forms (the
// last per port property, no forcelinkdisable, 4 bytes, or 1 byte from ' ' to
// '~' but '"'); the others must be reported as left out.
#ifndef FUZZ_STOREREWRITEDIFFERENCE_H_
#define FUZZ_STOREREWRITEDIFFERENCE_H_

#include <boost/property_tree/ini_parser.hpp>
#include <boost/property_tree/ptree.hpp>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "device/aeProperties.h"
#include "settings/loadSettingsFile.h"
#include "settings/settingKey.h"
#include "settings/storeRewrite.h"
#include "settings/valueConversion.h"

namespace tqfuzz {

namespace storeDetail {

using nTQVLKAET100::tCapturedValue;
using tTriple = std::tuple<std::uint32_t, std::uint32_t, std::uint32_t>;

inline bool storable(const tCapturedValue& v) {
  if (v.propertyId == nTQVLKAET100::kPropertyForceLinkDisable) return false;
  if (nTQVLKAET100::findAeProperty(v.propertyId) == nullptr) return false;
  return v.size == 4 ||
         (v.size == 1 && v.bytes[0] >= ' ' && v.bytes[0] <= '~' && v.bytes[0] != '"');
}

// The triple restore reads from a key, or false.
inline bool tripleOf(const std::string& key, tTriple& triple) {
  try {
    const nTQVLKAET100::tSettingKey k = nTQVLKAET100::parseSettingKey(key);
    triple = {k.serialNumber, k.port, k.propertyId};
    return true;
  } catch (...) {
    return false;
  }
}

inline bool convertsTo(const std::string& raw, const tCapturedValue& v) {
  unsigned char bytes[4] = {0, 0, 0, 0};
  try {
    nTQVLKAET100::convertSettingValue(nTQVLKAET100::settingValueText(raw), v.size, bytes);
  } catch (...) {
    return false;
  }
  return std::memcmp(bytes, v.bytes, v.size) == 0;
}

inline std::string difference(std::string_view old, const std::vector<tCapturedValue>& captured,
                              const nTQVLKAET100::tStoreRewrite& rewrite) {
  using nTQVLKAET100::tRewriteRefusal;
  namespace pt = boost::property_tree;
  pt::ptree before;
  try {
    before = nTQVLKAET100::parseSettingsText(old.data(), old.size());
  } catch (const pt::ini_parser_error&) {
    return rewrite.refusal == tRewriteRefusal::kSyntaxError
               ? ""
               : "a text the reader refuses was rewritten";
  }
  if (rewrite.refusal == tRewriteRefusal::kSyntaxError)
    return "a text the reader accepts was refused";
  const bool zero = std::memchr(old.data(), 0, old.size()) != nullptr;
  if (zero != (rewrite.refusal == tRewriteRefusal::kZeroByte)) return "a zero byte refused wrongly";
  if (zero) return "";
  // The values to store: the last per port property, first-captured order.
  std::vector<tCapturedValue> stored;
  std::map<tTriple, std::size_t> index;
  std::size_t leftOut = 0;
  bool forceLinkDisable = false;
  for (const tCapturedValue& v : captured) {
    const tTriple t{v.serialNumber, v.port, v.propertyId};
    const auto found = index.find(t);
    if (found != index.end()) {
      stored[found->second] = v;
    } else {
      index[t] = stored.size();
      stored.push_back(v);
    }
  }
  for (const tCapturedValue& v : stored) {
    forceLinkDisable |= v.propertyId == nTQVLKAET100::kPropertyForceLinkDisable;
    leftOut += !storable(v) && v.propertyId != nTQVLKAET100::kPropertyForceLinkDisable;
  }
  if (rewrite.leftOut.size() != leftOut || rewrite.forceLinkDisableLeftOut != forceLinkDisable) {
    return "left-out values reported wrongly";
  }
  const pt::ptree empty;
  const auto oldSection = before.find("PortSetting");
  const pt::ptree& oldEntries = oldSection == before.not_found() ? empty : oldSection->second;
  std::vector<bool> placed(stored.size(), false);
  for (const auto& entry : oldEntries) {
    tTriple t;
    if (tripleOf(entry.first, t) && index.count(t) != 0) placed[index[t]] = true;
  }
  std::vector<const tCapturedValue*> appended;
  for (std::size_t i = 0; i < stored.size(); ++i) {
    if (!placed[i] && storable(stored[i])) appended.push_back(&stored[i]);
  }
  // A top entry of that name (the reader drops empty sections).
  const bool nameTaken = oldSection != before.not_found() && oldSection->second.empty();
  if ((nameTaken && !appended.empty()) != (rewrite.refusal == tRewriteRefusal::kSectionNameTaken)) {
    return "a section name refused wrongly";
  }
  if (rewrite.refusal != tRewriteRefusal::kNone) return "";
  pt::ptree after;
  try {
    after = nTQVLKAET100::parseSettingsText(rewrite.bytes.data(), rewrite.bytes.size());
  } catch (const pt::ini_parser_error& error) {
    return std::string("the rewritten text does not parse: ") + error.what();
  }
  const auto newSection = after.find("PortSetting");
  const pt::ptree& newEntries = newSection == after.not_found() ? empty : newSection->second;
  pt::ptree restBefore = before;
  pt::ptree restAfter = after;
  restBefore.erase("PortSetting");
  restAfter.erase("PortSetting");
  if (!(restBefore == restAfter)) return "something outside the section changed";
  if (newEntries.size() != oldEntries.size() + appended.size()) return "wrong number of entries";
  auto n = newEntries.begin();
  for (const auto& o : oldEntries) {
    tTriple t;
    const bool named = tripleOf(o.first, t) && index.count(t) != 0 && storable(stored[index[t]]);
    if (n->first != o.first) return "an entry's key changed: " + o.first;
    if (named ? !convertsTo(n->second.data(), stored[index[t]]) : n->second != o.second) {
      return "wrong value for " + o.first;
    }
    ++n;
  }
  for (const tCapturedValue* v : appended) {
    tTriple t;
    if (!tripleOf(n->first, t) || t != tTriple{v->serialNumber, v->port, v->propertyId} ||
        !convertsTo(n->second.data(), *v) || !n->second.empty()) {
      return "wrong appended entry " + n->first + "=" + n->second.data();
    }
    ++n;
  }
  return "";
}

}  // namespace storeDetail

inline std::string storeRewriteDifference(std::string_view old,
                                          const std::vector<nTQVLKAET100::tCapturedValue>& captured,
                                          const nTQVLKAET100::tStoreRewrite& rewrite) {
  return storeDetail::difference(old, captured, rewrite);
}

}  // namespace tqfuzz

#endif  // FUZZ_STOREREWRITEDIFFERENCE_H_
