// SPDX-License-Identifier: MIT
// The merge rule of every status in the tool (JsonStatus, tStatus, the
// driver's compact block): a code enters a clean status; an error (negative)
// replaces a warning (positive); once a status holds an error, that first
// error stands and nothing replaces it. Every status type asks here.
#ifndef ERROR_MERGERULE_H_
#define ERROR_MERGERULE_H_

#include <cstdint>

namespace tqerr {

// Whether a status holding current takes offered.
constexpr bool mergeTakes(std::int64_t current, std::int64_t offered) {
  if (current == 0) return offered != 0;
  if (current > 0) return offered < 0;
  return false;
}

}  // namespace tqerr

#endif  // ERROR_MERGERULE_H_
