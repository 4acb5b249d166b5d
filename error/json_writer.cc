// SPDX-License-Identifier: MIT
// Buffer set-up and the in-place writers of the JSON detail text.
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "error/json.h"

namespace tqerr {
namespace json {

namespace {

constexpr char kEndMarker = 'J';

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Bytes of free room after the NUL that ends the text at or after position.
std::size_t freeRoom(const char* position, const char** nul) {
  const char* end = position + std::strlen(position);
  *nul = end;
  const char* p = end + 1;
  while (*p != kEndMarker) ++p;
  return static_cast<std::size_t>(p - end - 1);
}

// Opens a gap of member bytes before the closing bracket at position (plus a
// comma when the container already has members). Returns where the member
// goes, or null with the text untouched when the room is short.
char* makeRoom(char* position, std::size_t member) {
  if (position == nullptr) return nullptr;
  const char closing = *position;
  // Only a container's closing bracket takes members; anything else would
  // corrupt the text.
  if (closing != '}' && closing != ']') return nullptr;
  const char opening = closing == '}' ? '{' : '[';
  const char* before = position - 1;
  while (isSpace(*before)) --before;
  const bool comma = *before != opening;
  const std::size_t needed = member + (comma ? 1 : 0);
  const char* nul = nullptr;
  if (freeRoom(position, &nul) < needed) return nullptr;
  const std::size_t tail = static_cast<std::size_t>(nul - position) + 1;
  std::memmove(position + needed, position, tail);
  if (comma) *position++ = ',';
  return position;
}

char* writeEscaped(char* out, const char* text) {
  static const char kHex[] = "0123456789abcdef";
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    const unsigned char c = *p;
    switch (c) {
      case '\b':
        *out++ = '\\';
        *out++ = 'b';
        continue;
      case '\t':
        *out++ = '\\';
        *out++ = 't';
        continue;
      case '\n':
        *out++ = '\\';
        *out++ = 'n';
        continue;
      case '\f':
        *out++ = '\\';
        *out++ = 'f';
        continue;
      case '\r':
        *out++ = '\\';
        *out++ = 'r';
        continue;
      case '"':
      case '\\':
        *out++ = '\\';
        *out++ = static_cast<char>(c);
        continue;
      default:
        break;
    }
    if (c < 0x20 || c == 0x7F) {
      *out++ = '\\';
      *out++ = 'u';
      *out++ = '0';
      *out++ = '0';
      *out++ = kHex[c >> 4];
      *out++ = kHex[c & 0xF];
    } else {
      *out++ = static_cast<char>(c);
    }
  }
  return out;
}

char* writeQuoted(char* out, const char* text) {
  *out++ = '"';
  out = writeEscaped(out, text);
  *out++ = '"';
  return out;
}

std::size_t keyRoom(const char* key) {
  return key ? escapedLength(key) + 3 : 0;
}

char* writeKey(char* out, const char* key) {
  if (key == nullptr) return out;
  out = writeQuoted(out, key);
  *out++ = ':';
  return out;
}

// Writes key and the already formatted value text verbatim.
char* appendRaw(char* position, const char* key, const char* raw, std::size_t rawLength) {
  char* out = makeRoom(position, keyRoom(key) + rawLength);
  if (out == nullptr) return nullptr;
  out = writeKey(out, key);
  std::memcpy(out, raw, rawLength);
  return out + rawLength;
}

template <typename Append>
char* growing(char* position, const Grower& grower, Append append) {
  while (position != nullptr) {
    if (char* done = append(position)) return done;
    if (grower.function == nullptr) return nullptr;
    position = grower.function(position, grower.context);
  }
  return nullptr;
}

}  // namespace

char* initBuffer(char* buffer, std::uint32_t capacity, const char* text) {
  if (buffer == nullptr || capacity < 2) return nullptr;
  std::size_t length;
  if (text != nullptr) {
    length = std::strlen(text);
    if (length + 1 >= capacity) return nullptr;
    std::memmove(buffer, text, length + 1);
  } else {
    length = strnlen(buffer, capacity);
    if (length + 1 >= capacity) return nullptr;
  }
  std::memset(buffer + length, 0, capacity - 1 - length);
  buffer[capacity - 1] = kEndMarker;
  // An empty text has no last character; its NUL is the nearest answer.
  return length ? buffer + length - 1 : buffer;
}

std::size_t escapedLength(const char* text) {
  std::size_t length = 0;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    const unsigned char c = *p;
    if (c == '\b' || c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == '"' || c == '\\') {
      length += 2;
    } else if (c < 0x20 || c == 0x7F) {
      length += 6;
    } else {
      length += 1;
    }
  }
  return length;
}

char* appendString(char* position, const char* key, const char* value) {
  if (value == nullptr) value = "";
  char* out = makeRoom(position, keyRoom(key) + escapedLength(value) + 2);
  if (out == nullptr) return nullptr;
  out = writeKey(out, key);
  return writeQuoted(out, value);
}

char* appendInt(char* position, const char* key, std::int32_t value) {
  char number[16];
  const int n = std::snprintf(number, sizeof number, "%i", value);
  return appendRaw(position, key, number, static_cast<std::size_t>(n));
}

char* appendUInt(char* position, const char* key, std::uint32_t value) {
  char number[16];
  const int n = std::snprintf(number, sizeof number, "%u", value);
  return appendRaw(position, key, number, static_cast<std::size_t>(n));
}

char* appendUInt64(char* position, const char* key, std::uint64_t value) {
  char number[32];
  const int n = std::snprintf(number, sizeof number, "%" PRIu64, value);
  return appendRaw(position, key, number, static_cast<std::size_t>(n));
}

char* appendObject(char* position, const char* key) {
  return appendRaw(position, key, "{}", 2);
}

char* appendString(char* position, const char* key, const char* value, const Grower& grower) {
  return growing(position, grower, [&](char* at) { return appendString(at, key, value); });
}

char* appendInt(char* position, const char* key, std::int32_t value, const Grower& grower) {
  return growing(position, grower, [&](char* at) { return appendInt(at, key, value); });
}

char* appendUInt(char* position, const char* key, std::uint32_t value, const Grower& grower) {
  return growing(position, grower, [&](char* at) { return appendUInt(at, key, value); });
}

char* appendUInt64(char* position, const char* key, std::uint64_t value, const Grower& grower) {
  return growing(position, grower, [&](char* at) { return appendUInt64(at, key, value); });
}

char* appendObject(char* position, const char* key, const Grower& grower) {
  char* after = growing(position, grower, [&](char* at) { return appendObject(at, key); });
  return after ? after - 1 : nullptr;
}

}  // namespace json
}  // namespace tqerr
