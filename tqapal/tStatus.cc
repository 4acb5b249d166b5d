// SPDX-License-Identifier: MIT
#include "tqapal/tStatus.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <string>

#include "error/Exception.h"
#include "error/JsonStatus.h"
#include "error/json.h"
#include "error/mergeRule.h"

namespace nTQVLKAET100 {
namespace nTQAPAL000 {

namespace {

// Copies text into a field of fieldSize bytes, NUL-padded, last byte NUL.
void storeField(char* field, std::size_t fieldSize, const char* text) {
  std::strncpy(field, text ? text : "", fieldSize);
  field[fieldSize - 1] = 0;
}

void storeFile(tStatus& status, const char* file) {
  constexpr std::size_t kField = sizeof(status.file);  // 101
  constexpr std::size_t kKeep = 49;
  const std::size_t length = file ? std::strlen(file) : 0;
  if (length <= kField - 1) {
    storeField(status.file, kField, file);
    return;
  }
  // A long path keeps its head and its tail, which name the site best.
  std::memcpy(status.file, file, kKeep);
  std::memcpy(status.file + kKeep, "..", 2);
  std::memcpy(status.file + kKeep + 2, file + length - kKeep, kKeep);
  status.file[kKeep * 2 + 2] = 0;
}

}  // namespace

bool setCode(tStatus& status, std::int64_t code, const char* component, const char* file,
             std::uint64_t line) {
  if (!tqerr::mergeTakes(status.code, code)) return false;
  status.code = code;
  if (status.structSize < kStatusFullSize) return true;
  storeField(status.component, sizeof(status.component), component);
  storeFile(status, file);
  status.line = line;
  status.extension = 0;
  return true;
}

bool setCode(tStatus& status, std::int64_t code, const tqerr::ErrorLocation& site) {
  return setCode(status, code, site.component, site.file, static_cast<std::uint64_t>(site.line));
}

void throwIfFatal(const tStatus& status) {
  if (status.code >= 0 || std::uncaught_exceptions() > 0) return;
  tqerr::JsonStatus json;
  toJsonStatus(status, json);
  throw tqerr::Exception(json);
}

bool toJsonStatus(const tStatus& status, tqerr::JsonStatus& json) {
  if (status.code == 0) return true;
  if (!tqerr::mergeCode(json, static_cast<std::int32_t>(status.code))) return true;
  if (status.structSize < kStatusFullSize) return true;
  const tqerr::json::Grower grower = tqerr::grower(json);
  bool ok = true;
  if (status.file[0] != 0) {
    char* at = tqerr::reserve(json, 256);
    at = tqerr::json::appendString(at, "file", status.file, grower);
    at = tqerr::json::appendUInt(at, "line", static_cast<std::uint32_t>(status.line), grower);
    ok = ok && at != nullptr;
  }
  if (status.component[0] != 0) {
    char* at = tqerr::reserve(json, 256);
    at = tqerr::json::appendString(at, "component", status.component, grower);
    ok = ok && at != nullptr;
  }
  return ok;
}

namespace {

// The decoded text of the top-level string member key, or empty when text
// has no such member or its value does not decode. With keepTail, a raw
// (still escaped) value longer than keepTail characters is cut to its last
// keepTail characters first, and backslashes at the cut are skipped so that
// the kept part never starts inside an escape.
std::string readStringMember(const char* text, const char* key, std::size_t keepTail = 0) {
  const char* value = tqerr::json::findMember(text, key);
  if (value == nullptr) return std::string();
  std::size_t rawLength = 0;
  const char* end = nullptr;
  const char* raw = tqerr::json::getStringValue(value, nullptr, &rawLength, &end);
  if (raw == nullptr || end == nullptr) return std::string();
  if (keepTail != 0 && rawLength > keepTail) {
    raw += rawLength - keepTail;
    rawLength = keepTail;
    while (rawLength != 0 && *raw == '\\') {
      ++raw;
      --rawLength;
    }
  }
  std::string decoded(rawLength + 1, '\0');
  char* stop = tqerr::json::unescapeString(raw, rawLength, &decoded[0]);
  if (stop == nullptr) return std::string();
  decoded.resize(static_cast<std::size_t>(stop - decoded.data()));
  return decoded;
}

}  // namespace

void fromJsonStatus(const tqerr::JsonStatus& json, tStatus& status) {
  if (json.code == 0) return;
  std::string component;
  std::string file;
  std::int32_t line = 0;
  if (json.text != nullptr) {
    component = readStringMember(json.text, "component").substr(0, 9);
    // The last 100 characters of the JSON text's value, which decode to at
    // most 100 characters: the record's file field stores them whole.
    file = readStringMember(json.text, "file", 100);
    const char* value = tqerr::json::findMember(json.text, "line");
    if (value != nullptr) line = tqerr::json::getIntValue(value, 0, nullptr);
  }
  setCode(status, json.code, component.c_str(), file.c_str(),
          static_cast<std::uint64_t>(static_cast<std::uint32_t>(line)));
}

bool mergeStatus(tStatus& destination, const tStatus& source) {
  if (source.structSize < kStatusFullSize) {
    return setCode(destination, source.code, "", "", 0);
  }
  return setCode(destination, source.code, source.component, source.file, source.line);
}

}  // namespace nTQAPAL000
}  // namespace nTQVLKAET100
