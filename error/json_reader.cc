// SPDX-License-Identifier: MIT
// The reader of the JSON detail text: value scanning, member look-up and
// conversion of string and number values. It never writes into the text.
#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "error/json.h"

namespace tqerr {
namespace json {

namespace {

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

const char* skipSpace(const char* p) {
  while (isSpace(*p)) ++p;
  return p;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads the four hexadecimal digits at p; -1 when they are not all there.
long hex4(const char* p, const char* end) {
  if (end - p < 4) return -1;
  long value = 0;
  for (int i = 0; i < 4; ++i) {
    const int digit = hexValue(p[i]);
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  return value;
}

ReadResult success(ValueKind kind, const char* start, const char* end, bool fraction = false) {
  return ReadResult{kind, kNoError, start, static_cast<std::size_t>(end - start), fraction};
}

ReadResult failure(ErrorKind error, const char* at) {
  return ReadResult{kError, error, at, 0, false};
}

ReadResult readString(const char* text) {
  if (*text != '"') return failure(kBadString, text);
  const char* p = text + 1;
  for (;;) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == '"') return success(kString, text, p + 1);
    // A control byte (the end of the text among them) cannot be in a string.
    if (c < 0x20) return failure(kBadString, p);
    if (c != '\\') {
      ++p;
      continue;
    }
    switch (p[1]) {
      case '"':
      case '/':
      case '\\':
      case 'b':
      case 'f':
      case 'n':
      case 'r':
      case 't':
        p += 2;
        break;
      case 'u':
        // hex4 stops at the first byte that is no digit, the NUL included.
        if (hex4(p + 2, p + 6) < 0) return failure(kBadEscape, p);
        p += 6;
        break;
      default:
        return failure(kBadEscape, p);
    }
  }
}

// Matches the number grammar; a malformed exponent makes it no number at all.
ReadResult readNumber(const char* text) {
  const char* p = text;
  if (!isDigit(*p) && *p != '-') return failure(kNoText, text);
  ++p;
  while (isDigit(*p)) ++p;
  bool fraction = false;
  if (*p == '.') {
    fraction = true;
    ++p;
    while (isDigit(*p)) ++p;
  }
  if (*p == 'e' || *p == 'E') {
    fraction = true;
    ++p;
    if (*p != '+' && *p != '-' && !isDigit(*p)) return failure(kNoText, p);
    ++p;
    while (isDigit(*p)) ++p;
  }
  return success(kNumber, text, p, fraction);
}

ReadResult readWord(const char* text) {
  struct Word {
    const char* letters;
    std::size_t length;
    ValueKind kind;
  };
  static const Word kWords[] = {{"true", 4, kBoolean}, {"false", 5, kBoolean}, {"null", 4, kNull}};
  for (const Word& word : kWords) {
    if (std::strncmp(text, word.letters, word.length) == 0) {
      return success(word.kind, text, text + word.length);
    }
  }
  return failure(kNoText, text);
}

// Objects and arrays share one scanner: members are "key : value" in an
// object and plain values in an array.
ReadResult readContainer(const char* text, char opening, char closing, ErrorKind unclosed) {
  if (*text != opening) return failure(unclosed, text);
  const bool object = opening == '{';
  const char* p = skipSpace(text + 1);
  if (*p == closing) return success(object ? kObject : kArray, text, p + 1);
  for (;;) {
    if (*p == 0) return failure(unclosed, p);
    if (object) {
      const ReadResult key = readString(p);
      if (key.kind == kError) return key;
      p = skipSpace(p + key.length);
      if (*p == 0) return failure(unclosed, p);
      if (*p != ':') return failure(kMissingColon, p);
      p = skipSpace(p + 1);
      if (*p == 0) return failure(unclosed, p);
    }
    const ReadResult value = readValue(p);
    if (value.kind == kError) return value;
    p = skipSpace(p + value.length);
    if (*p == closing) return success(object ? kObject : kArray, text, p + 1);
    if (*p == 0) return failure(unclosed, p);
    if (*p != ',') return failure(kMissingSeparator, p);
    p = skipSpace(p + 1);
    if (*p == closing) return failure(kTrailingComma, p);
  }
}

// Decodes one character (plain byte or escape) from [p, end) into out.
// Returns the bytes written (0 for a decoded NUL) or -1 when it does not
// decode; advances p.
int decodeOne(const char*& p, const char* end, char* out) {
  if (*p == 0) return 0;
  if (*p != '\\') {
    *out = *p++;
    return 1;
  }
  if (end - p < 2) return -1;
  char simple = 0;
  switch (p[1]) {
    case '"':
      simple = '"';
      break;
    case '/':
      simple = '/';
      break;
    case '\\':
      simple = '\\';
      break;
    case 'b':
      simple = '\b';
      break;
    case 'f':
      simple = '\f';
      break;
    case 'n':
      simple = '\n';
      break;
    case 'r':
      simple = '\r';
      break;
    case 't':
      simple = '\t';
      break;
    case 'u':
      break;
    default:
      return -1;
  }
  if (simple) {
    p += 2;
    *out = simple;
    return 1;
  }
  long unit = hex4(p + 2, end);
  if (unit < 0) return -1;
  p += 6;
  unsigned long code = static_cast<unsigned long>(unit);
  if (unit >= 0xD800 && unit <= 0xDFFF) {
    if (end - p < 2 || p[0] != '\\' || p[1] != 'u') return -1;
    const long second = hex4(p + 2, end);
    if (second < 0) return -1;
    p += 6;
    code = 0x10000 + static_cast<unsigned long>(unit - 0xD800) * 0x400 +
           (static_cast<unsigned long>(second - 0xDC00) & 0xFFFF);
  }
  if (code == 0) return 0;
  unsigned char* u = reinterpret_cast<unsigned char*>(out);
  if (code < 0x80) {
    u[0] = static_cast<unsigned char>(code);
    return 1;
  }
  if (code < 0x800) {
    u[0] = static_cast<unsigned char>(0xC0 | (code >> 6));
    u[1] = static_cast<unsigned char>(0x80 | (code & 0x3F));
    return 2;
  }
  if (code < 0x10000) {
    u[0] = static_cast<unsigned char>(0xE0 | (code >> 12));
    u[1] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
    u[2] = static_cast<unsigned char>(0x80 | (code & 0x3F));
    return 3;
  }
  if (code < 0x200000) {
    u[0] = static_cast<unsigned char>(0xF0 | (code >> 18));
    u[1] = static_cast<unsigned char>(0x80 | ((code >> 12) & 0x3F));
    u[2] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
    u[3] = static_cast<unsigned char>(0x80 | (code & 0x3F));
    return 4;
  }
  return -1;
}

// Compares the decoded raw key with key, byte for byte.
bool keyEquals(const char* raw, std::size_t rawLength, const char* key) {
  const char* p = raw;
  const char* end = raw + rawLength;
  const std::size_t keyLength = std::strlen(key);
  std::size_t matched = 0;
  while (p < end) {
    char piece[4];
    const int n = decodeOne(p, end, piece);
    if (n <= 0) return false;
    const std::size_t size = static_cast<std::size_t>(n);
    if (keyLength - matched < size || std::memcmp(key + matched, piece, size) != 0) return false;
    matched += size;
  }
  return matched == keyLength;
}

}  // namespace

ReadResult readValue(const char* text) {
  if (text == nullptr || *text == 0) return failure(kNoText, text);
  ReadResult farthest = failure(kNoText, text);
  ReadResult (*const alternatives[])(const char*) = {
      readString,
      readNumber,
      [](const char* t) { return readContainer(t, '{', '}', kBadObject); },
      [](const char* t) { return readContainer(t, '[', ']', kBadArray); },
      readWord,
  };
  for (auto alternative : alternatives) {
    const ReadResult result = alternative(text);
    if (result.kind != kError) return result;
    if (result.position > farthest.position) farthest = result;
  }
  return farthest;
}

const char* findContainerEnd(const char* text) {
  if (text == nullptr || (*text != '{' && *text != '[')) return nullptr;
  const ReadResult result = readValue(text);
  if (result.kind != kObject && result.kind != kArray) return nullptr;
  return text + result.length - 1;
}

const char* findMember(const char* text, const char* key) {
  if (text == nullptr || key == nullptr) return nullptr;
  const char* p = skipSpace(text);
  if (*p != '{') return nullptr;
  p = skipSpace(p + 1);
  for (;;) {
    const ReadResult name = readString(p);
    if (name.kind == kError) return nullptr;
    const bool match = keyEquals(p + 1, name.length - 2, key);
    p = skipSpace(p + name.length);
    if (*p != ':') return nullptr;
    p = skipSpace(p + 1);
    if (match) return p;
    const ReadResult value = readValue(p);
    if (value.kind == kError) return nullptr;
    p = skipSpace(p + value.length);
    if (*p != ',') return nullptr;
    p = skipSpace(p + 1);
  }
}

const char* getStringValue(const char* position, const char* defaultValue, std::size_t* rawLength,
                           const char** end) {
  const ReadResult result = readValue(position);
  if (result.kind == kString) {
    if (rawLength) *rawLength = result.length - 2;
    if (end) *end = position + result.length;
    return position + 1;
  }
  if (rawLength) *rawLength = defaultValue ? std::strlen(defaultValue) : 0;
  if (end) *end = nullptr;
  return defaultValue;
}

std::int32_t getIntValue(const char* position, std::int32_t defaultValue, const char** end) {
  if (end) *end = nullptr;
  const ReadResult result = readValue(position);
  if (result.kind != kNumber) return defaultValue;
  long long value = 0;
  if (!result.hasFractionOrExponent) {
    // Like "%i": a leading 0x is hexadecimal, a leading 0 octal. Values
    // outside the 32-bit range do not convert rather than wrap.
    errno = 0;
    char* stop = nullptr;
    value = std::strtoll(position, &stop, 0);
    if (stop == position || errno == ERANGE || value < INT32_MIN || value > INT32_MAX) {
      return defaultValue;
    }
  } else {
    char copy[64];
    const std::size_t length = result.length < 63 ? result.length : 63;
    std::memcpy(copy, position, length);
    copy[length] = 0;
    // The C library reads numbers with its own decimal separator.
    char probe[8];
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    if (probe[1] == ',') {
      if (char* dot = std::strchr(copy, '.')) *dot = ',';
    }
    double number = 0;
    if (std::sscanf(copy, "%lg", &number) != 1) return defaultValue;
    number = std::trunc(number);
    // Out-of-range doubles have no int32 value; converting them is undefined.
    if (!(number >= INT32_MIN && number <= INT32_MAX)) return defaultValue;
    value = static_cast<long long>(number);
  }
  if (end) *end = position + result.length;
  return static_cast<std::int32_t>(value);
}

char* unescapeString(const char* raw, std::size_t rawLength, char* destination) {
  const char* p = raw;
  const char* end = raw + rawLength;
  char* out = destination;
  while (p < end) {
    const int n = decodeOne(p, end, out);
    if (n <= 0) {
      // A decoded NUL ends the text; the input left over makes it a failure.
      *out = 0;
      return nullptr;
    }
    out += n;
  }
  *out = 0;
  return out;
}

}  // namespace json
}  // namespace tqerr
