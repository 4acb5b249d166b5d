// SPDX-License-Identifier: MIT
#include "error/errnoDetail.h"

#include <cstring>

#include "error/json.h"
#include "error/mergeRule.h"

namespace tqerr {

namespace {

// XSI form: returns an int, the text is in the buffer if anywhere.
[[maybe_unused]] const char* pickText(int, const char* buffer) {
  return buffer[0] != 0 ? buffer : nullptr;
}

// GNU form: returns the text, which may or may not be the buffer.
[[maybe_unused]] const char* pickText(const char* returned, const char* buffer) {
  return buffer[0] != 0 ? buffer : returned;
}

}  // namespace

const char* errnoText(int errnoValue, char (&buffer)[256]) {
  buffer[0] = 0;
  return pickText(strerror_r(errnoValue, buffer, sizeof buffer), buffer);
}

bool recordAt(tqerr::JsonStatus& status, std::int32_t code, const tqerr::ErrorLocation& location) {
  if (!mergeTakes(status.code, code)) return false;
  bool ok = true;
  tqerr::setCodeWithLocation(status, code, location, &ok);
  return true;
}

void appendErrnoDetail(tqerr::JsonStatus& status, int errnoValue) {
  char buffer[256];
  const char* text = errnoText(errnoValue, buffer);
  const tqerr::json::Grower grower = tqerr::grower(status);
  char* at = tqerr::reserve(status, 2);
  at = tqerr::json::appendObject(at, "internal_error", grower);
  at = tqerr::json::appendString(at, "api", "errno", grower);
  at = tqerr::json::appendInt(at, "code", errnoValue, grower);
  if (text != nullptr) at = tqerr::json::appendString(at, "string", text, grower);
}

}  // namespace tqerr
