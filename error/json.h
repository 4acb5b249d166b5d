// SPDX-License-Identifier: MIT
// The JSON detail text of a JsonStatus, kept in one fixed buffer and edited in
// place.
//
// Buffer of capacity C (at least 4): the text, its NUL, zero bytes of free
// room, and the end marker 'J' in byte C-1; the longest text is C-2
// characters. Writers insert a member before the closing bracket of its
// container, shifting the tail right; they never allocate. A full buffer
// makes an append return null and change nothing; the growing forms then ask
// the caller's grower for a larger buffer and retry. The reader never writes
// and reports errors only through its result record.
#ifndef ERROR_JSON_H_
#define ERROR_JSON_H_

#include <cstddef>
#include <cstdint>

namespace tqerr {
namespace json {

// Grower: returns the same offset in the enlarged buffer, or null.
typedef char* (*GrowFunction)(char* position, void* context);

struct Grower {
  GrowFunction function;
  void* context;
};

// With text: fails (null) if strlen(text)+1 >= capacity, else copies it. With
// null: keeps the current text (same check). Then zero-fills the free room and
// writes the marker. Returns the position of the last text character.
char* initBuffer(char* buffer, std::uint32_t capacity, const char* text);

// Bytes a text takes once escaped.
std::size_t escapedLength(const char* text);

// Plain writers: position is a container's closing bracket; a null key writes
// an array element. They return the position after the written member (which
// is where the shifted closing bracket now stands), or null.
char* appendString(char* position, const char* key, const char* value);
char* appendInt(char* position, const char* key, std::int32_t value);
char* appendUInt(char* position, const char* key, std::uint32_t value);
char* appendUInt64(char* position, const char* key, std::uint64_t value);
// Returns the position just after the new "{}".
char* appendObject(char* position, const char* key);

// Growing forms. appendObject's returns the new object's closing bracket.
char* appendString(char* position, const char* key, const char* value, const Grower& grower);
char* appendInt(char* position, const char* key, std::int32_t value, const Grower& grower);
char* appendUInt(char* position, const char* key, std::uint32_t value, const Grower& grower);
char* appendUInt64(char* position, const char* key, std::uint64_t value, const Grower& grower);
char* appendObject(char* position, const char* key, const Grower& grower);

// From an inner object's closing bracket to the enclosing container's one.
inline char* leaveObject(char* position) {
  return position ? position + 1 : nullptr;
}

// Reader.
enum ValueKind {
  kError = 0,
  kNull = 1,
  kBoolean = 2,
  kNumber = 3,
  kString = 4,
  kArray = 5,
  kObject = 6,
};

enum ErrorKind {
  kNoError = 0,
  kNoText = 1,
  kBadString = 2,
  kBadObject = 3,
  kBadArray = 4,
  kMissingColon = 5,
  kMissingSeparator = 6,
  kBadEscape = 7,
  kTrailingComma = 8,
};

struct ReadResult {
  ValueKind kind;
  ErrorKind error;       // set when kind is kError
  const char* position;  // where the value (or the error) starts
  std::size_t length;    // raw length of the value
  bool hasFractionOrExponent;
};

// Parses one value at text (no leading whitespace skipped). A text that no
// alternative gets past its first byte, or a number whose exponent has no
// sign or digit, is kNoText. On error, position is where the fault lies.
ReadResult readValue(const char* text);

const char* findContainerEnd(const char* text);
const char* findMember(const char* text, const char* key);
const char* getStringValue(const char* position, const char* defaultValue, std::size_t* rawLength,
                           const char** end);
std::int32_t getIntValue(const char* position, std::int32_t defaultValue, const char** end);
char* unescapeString(const char* raw, std::size_t rawLength, char* destination);

}  // namespace json
}  // namespace tqerr

#endif  // ERROR_JSON_H_
