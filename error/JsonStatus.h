// SPDX-License-Identifier: MIT
// JsonStatus: the status of the path, lock and loading libraries, a signed
// 32-bit code and a growable JSON detail text (see error/json.h), plus the
// ErrorLocation records that name a reporting site.
//
// The text buffer belongs to the status and is resized or freed only through
// its reallocate function (capacity 0 frees), at the latest when the status
// is destroyed; a status is moved, not copied (copy, mergeAndCopy and
// mergeAndMove say how its text goes to another). Operations never throw: a failed
// reallocation leaves the text as it was and makes the writing operation
// return null/false; the code is still recorded.
#ifndef ERROR_JSONSTATUS_H_
#define ERROR_JSONSTATUS_H_

#include <cstdint>

#include "error/json.h"

namespace tqerr {

struct JsonStatus;
typedef bool (*ReallocateFunction)(JsonStatus& status, std::uint32_t newCapacity);

bool defaultReallocate(JsonStatus& status, std::uint32_t newCapacity);

struct JsonStatus {
  JsonStatus() = default;
  JsonStatus(const JsonStatus&) = delete;
  JsonStatus& operator=(const JsonStatus&) = delete;
  // Takes the other's code, function and text over, leaving it empty.
  JsonStatus(JsonStatus&& other) noexcept;
  JsonStatus& operator=(JsonStatus&& other) noexcept;
  // Frees the text (release).
  ~JsonStatus();

  std::int32_t code = 0;
  std::uint32_t capacity = 0;
  ReallocateFunction reallocate = defaultReallocate;
  char* text = nullptr;
};

// A constant record per reporting site, held in static data.
struct ErrorLocation {
  const char* file;
  int line;
  const char* component;
  const char* errorConstant;  // "tqapalerr_..." or "err"
};

// Frees the text (reallocate with capacity 0) when there is one.
void release(JsonStatus& status);

bool mergeCode(JsonStatus& status, std::int32_t code);
bool setText(JsonStatus& status, const char* text);
bool copy(JsonStatus& destination, const JsonStatus& source);
void mergeAndCopy(JsonStatus& destination, const JsonStatus& source, bool* ok);
void mergeAndMove(JsonStatus& destination, JsonStatus& source, bool* ok);

// Ensures a capacity of at least n+2 bytes (n at most 0x7FFFFFFD); returns
// the top-level closing bracket, or null.
char* reserve(JsonStatus& status, std::uint32_t n);
// Growth callback for the json writers (context: the JsonStatus): reserves
// twice the capacity less 4 and returns position's offset in the new buffer,
// or null when the buffer cannot get larger.
char* grow(char* position, void* status);
inline json::Grower grower(JsonStatus& status) {
  return json::Grower{grow, &status};
}

// mergeCode; if taken, resets the text and writes "error_constant", "file",
// "line" and "component". Returns the position where the caller appends its
// own members, or null when the code was not taken or a member failed (ok
// then tells which).
char* setCodeWithLocation(JsonStatus& status, std::int32_t code, const ErrorLocation& location,
                          bool* ok);

// Library allocation failure site shared by the path layer's containers.
extern const ErrorLocation kAllocatorLocation;

}  // namespace tqerr

#endif  // ERROR_JSONSTATUS_H_
