// SPDX-License-Identifier: MIT
// Shared by the platform libraries that report operating-system failures into
// a JsonStatus: the one way to get an errno text, and the "internal_error"
// member that carries it.
#ifndef ERROR_ERRNODETAIL_H_
#define ERROR_ERRNODETAIL_H_

#include <cstdint>

#include "error/JsonStatus.h"

namespace tqerr {

// Text of an error number, through strerror_r into buffer (256 bytes, first
// byte NUL beforehand): the buffer when the call wrote into it, else the
// pointer it returned. Covers the XSI and the GNU form alike; may be null.
const char* errnoText(int errnoValue, char (&buffer)[256]);

// setCodeWithLocation, but telling whether the code was taken, so that the
// caller knows whether to append its own members.
bool recordAt(tqerr::JsonStatus& status, std::int32_t code, const tqerr::ErrorLocation& location);

// Appends "internal_error" {"api":"errno","code":errnoValue,"string":text}
// at the end of the top-level object; "string" only when a text exists.
void appendErrnoDetail(tqerr::JsonStatus& status, int errnoValue);

}  // namespace tqerr

#endif  // ERROR_ERRNODETAIL_H_
