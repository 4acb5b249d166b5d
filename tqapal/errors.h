// SPDX-License-Identifier: MIT
// The error codes of the platform family (-52000 and below) and the one table
// that turns an operating-system error number into such a code.
#ifndef TQAPAL_ERRORS_H_
#define TQAPAL_ERRORS_H_

#include <cstdint>

constexpr std::int32_t tqapalerr_memoryFull = -52000;
constexpr std::int32_t tqapalerr_invalidParameter = -52005;
constexpr std::int32_t tqapalerr_resourceNotFound = -52006;
constexpr std::int32_t tqapalerr_osFault = -52008;
constexpr std::int32_t tqapalerr_objectNameCollision = -52013;

// Codes of the same family reported without a name.
constexpr std::int32_t tqapalerr_notSupported = -52002;
constexpr std::int32_t tqapalerr_searchFailed = -52003;
constexpr std::int32_t tqapalerr_timeout = -52007;
constexpr std::int32_t tqapalerr_bufferTooSmall = -52019;
constexpr std::int32_t tqapalerr_readError = -52024;
constexpr std::int32_t tqapalerr_accessDenied = -52026;
constexpr std::int32_t tqapalerr_badEncoding = -52027;

namespace nTQVLKAET100 {
namespace nTQAPAL000 {

// errno 0 maps to 0; 1..130 by table (unlisted ones to -52008); anything
// else to -52008.
std::int32_t mapErrno(int errnoValue);

}  // namespace nTQAPAL000
}  // namespace nTQVLKAET100

#endif  // TQAPAL_ERRORS_H_
