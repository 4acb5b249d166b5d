// SPDX-License-Identifier: MIT
// The JSON detail text of the error library.
//
// Reader: the input, as text, goes through findContainerEnd, findMember,
// getStringValue, getIntValue and unescapeString; every position they return
// must lie inside the text, and decoding must stay inside its destination.
//
// Writer round trip: the input, split at its zero bytes into a key and
// values, is written into a detail by the growing writer of a JsonStatus
// (members, an array element and a nested object); the reader must find
// every member again and decode each string to exactly the bytes written.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "error/JsonStatus.h"
#include "error/json.h"
#include "fuzz/fuzzCheck.h"

namespace {

namespace json = tqerr::json;
using tqfuzz::check;

bool inside(const char* p, const std::string& text) {
  return p >= text.c_str() && p <= text.c_str() + text.size();
}

// Decodes the string value at position; false when it is none or does not
// decode.
bool decodedString(const char* position, const std::string& text, std::string& decoded) {
  std::size_t rawLength = 0;
  const char* end = nullptr;
  const char* raw = json::getStringValue(position, nullptr, &rawLength, &end);
  if (raw == nullptr) return false;
  check(inside(raw, text) && inside(raw + rawLength, text) && inside(end, text),
        "a string value reaches outside the text");
  // A decoded text is never longer than its escaped form.
  std::vector<char> destination(rawLength + 1, 'X');
  char* stop = json::unescapeString(raw, rawLength, destination.data());
  if (stop == nullptr) return false;
  check(stop >= destination.data() && stop <= destination.data() + rawLength,
        "unescapeString ended outside its destination");
  check(*stop == 0, "unescapeString left its result unterminated");
  decoded.assign(destination.data(), stop);
  return true;
}

void readArbitrary(const std::string& text) {
  const char* t = text.c_str();
  if (const char* end = json::findContainerEnd(t)) {
    check(inside(end, text) && end < t + text.size(), "the container end lies outside the text");
    check(*end == '}' || *end == ']', "the container end is no closing bracket");
  }
  const json::ReadResult value = json::readValue(t);
  if (value.kind != json::kError) {
    check(value.position == t && value.length <= text.size(), "a value longer than the text");
  }
  for (const char* key : {"file", "line", "component", "", "\xc3\xa9"}) {
    const char* member = json::findMember(t, key);
    if (member == nullptr) continue;
    check(inside(member, text), "a member position outside the text");
    const char* end = nullptr;
    json::getIntValue(member, -7, &end);
    if (end != nullptr) check(inside(end, text), "a number's end outside the text");
    std::string decoded;
    decodedString(member, text, decoded);
  }
  // Every position of the text as a value position, as a reader that was
  // handed a position into a detail would see it.
  for (std::size_t i = 0; i < text.size() && i < 64; ++i) {
    const char* end = nullptr;
    json::getIntValue(t + i, 0, &end);
    if (end != nullptr) check(inside(end, text), "a number's end outside the text");
    std::string decoded;
    decodedString(t + i, text, decoded);
  }
}

void roundTrip(const std::vector<std::string>& parts) {
  tqerr::JsonStatus status;
  check(tqerr::setText(status, nullptr), "no room for an empty detail");
  const json::Grower growth = tqerr::grower(status);
  const std::string& key = parts[0];
  const std::string& first = parts.size() > 1 ? parts[1] : parts[0];
  const std::string& second = parts.size() > 2 ? parts[2] : std::string();
  const std::int32_t number = static_cast<std::int32_t>(first.size() * 2654435761u);

  char* at = const_cast<char*>(json::findContainerEnd(status.text));
  at = json::appendString(at, key.c_str(), first.c_str(), growth);
  at = json::appendInt(at, "n", number, growth);
  char* inner = json::appendObject(at, "inner", growth);
  inner = json::appendString(inner, "v", second.c_str(), growth);
  at = json::leaveObject(inner);
  at = json::appendString(at, "last", second.c_str(), growth);
  check(at != nullptr, "the growing writer gave up");

  const std::string text = status.text;
  check(json::findContainerEnd(text.c_str()) == text.c_str() + text.size() - 1,
        "the written detail is not one well-formed object");
  std::string decoded;
  check(decodedString(json::findMember(text.c_str(), key.c_str()), text, decoded),
        "the written key is not found or does not decode");
  // The first member of that key is the one written first; "n", "inner" and
  // "last" may be the key itself.
  check(decoded == first, "a written string reads back as other bytes");
  if (key != "n") {
    const char* n = json::findMember(text.c_str(), "n");
    check(n != nullptr && json::getIntValue(n, number ^ 1, nullptr) == number,
          "a written integer reads back as another number");
  }
  if (key != "last") {
    check(decodedString(json::findMember(text.c_str(), "last"), text, decoded) && decoded == second,
          "a member after a nested object reads back wrongly");
  }
  if (key != "inner") {
    const char* object = json::findMember(text.c_str(), "inner");
    check(object != nullptr, "the nested object is not found");
    const std::string nested(object, json::findContainerEnd(object) + 1);
    check(
        decodedString(json::findMember(nested.c_str(), "v"), nested, decoded) && decoded == second,
        "a member of the nested object reads back wrongly");
  }
  tqerr::release(status);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  // The reader works on NUL-terminated text: the part before the first NUL.
  readArbitrary(std::string(bytes.c_str()));

  std::vector<std::string> parts(1);
  for (char c : bytes) {
    if (c == 0) {
      parts.emplace_back();
    } else {
      parts.back().push_back(c);
    }
  }
  roundTrip(parts);
  return 0;
}
