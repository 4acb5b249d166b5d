// SPDX-License-Identifier: MIT
// tStatus: the fixed-size status record of the platform-abstraction layer.
//
// Every device-layer operation takes the caller's tStatus by reference as its
// last argument, does nothing when it already holds an error, and records a
// failure in it instead of throwing. A code enters only by the merge rule of
// setCode: into a clean status, or an error over a warning; the first error
// stands, together with its reporting site. throwIfFatal is the one place
// where a failed record turns into a tqerr::Exception.
#ifndef TQAPAL_TSTATUS_H_
#define TQAPAL_TSTATUS_H_

#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace tqerr {
struct ErrorLocation;
struct JsonStatus;
}

namespace nTQVLKAET100 {
namespace nTQAPAL000 {

// Size word of the full record; a record whose size word is smaller carries
// only the code.
constexpr std::uint64_t kStatusFullSize = 216;

struct tStatus {
  // The owner's inline initialisation: full record, clean.
  tStatus() { reset(); }
  void reset() {
    structSize = kStatusFullSize;
    code = 0;
    component[0] = 0;
    file[0] = 0;
    line = 0;
    extension = 0;
  }

  std::uint64_t structSize;
  std::int64_t code;
  char component[10];
  char file[101];
  std::uint64_t line;
  std::uint64_t extension;
  unsigned char reserved[72];
};

static_assert(sizeof(tStatus) == 216, "tStatus is the 216-byte record");
static_assert(offsetof(tStatus, code) == 8);
static_assert(offsetof(tStatus, component) == 16);
static_assert(offsetof(tStatus, file) == 26);
static_assert(offsetof(tStatus, line) == 128);
static_assert(offsetof(tStatus, extension) == 136);
static_assert(offsetof(tStatus, reserved) == 144);

// Component name of the tool's own reports (stored cut to "tqvlkaepr").
inline constexpr const char* kComponentTool = "tqvlkaepropinit";
// Component name of driver answers merged back from a tCompactStatus.
inline constexpr const char* kComponentDriver = "tqvlkae";

// Applies the merge rule; when the code is taken, stores it and (full records
// only) the component, file and line. Returns true if the status changed.
bool setCode(tStatus& status, std::int64_t code, const char* component, const char* file,
             std::uint64_t line);

// setCode with the site's component, file and line: the form every reporting
// site of the tool uses (one tqerr::ErrorLocation constant per site).
bool setCode(tStatus& status, std::int64_t code, const tqerr::ErrorLocation& site);

inline bool isFatal(const tStatus& status) { return status.code < 0; }

// Throws tqerr::Exception built from the record when its code is negative,
// unless an exception is already propagating.
void throwIfFatal(const tStatus& status);

// The boundary of the status layer for one step: runs step with a fresh
// status, then throwIfFatal; returns what step returns. A warning the step
// recorded goes no further.
template <typename Step>
auto throwingStep(Step&& step) {
  tStatus status;
  if constexpr (std::is_void_v<std::invoke_result_t<Step&, tStatus&>>) {
    step(status);
    throwIfFatal(status);
  } else {
    auto result = step(status);
    throwIfFatal(status);
    return result;
  }
}

// Enters source's code and site into destination by the merge rule.
bool mergeStatus(tStatus& destination, const tStatus& source);

// Merges the record's code into json and, for full records, appends its
// "file", "line" and "component" members. Returns false when a member could
// not be written.
bool toJsonStatus(const tStatus& status, tqerr::JsonStatus& json);

// Copies code, "component", "file" and "line" from json's detail text into a
// clean record (the path library's road to tStatus operations).
void fromJsonStatus(const tqerr::JsonStatus& json, tStatus& status);

}  // namespace nTQAPAL000
}  // namespace nTQVLKAET100

#endif  // TQAPAL_TSTATUS_H_
