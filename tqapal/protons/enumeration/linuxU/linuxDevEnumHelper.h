// SPDX-License-Identifier: MIT
// linuxDevEnumHelper: reads the small files that the kernel driver publishes
// under /proc for its device interfaces (an interface's device-node path, a
// device's properties).
//
// Every file is opened with up to ten immediate attempts and read with one
// fread of at most kReadLimit bytes; the content is raw bytes, nothing is
// stripped. Failures are recorded in the caller's tStatus with component
// "tqvlkaepropinit" and the helper's own reporting sites; nothing is read
// when the status already holds an error.
#ifndef TQAPAL_PROTONS_ENUMERATION_LINUXU_LINUXDEVENUMHELPER_H_
#define TQAPAL_PROTONS_ENUMERATION_LINUXU_LINUXDEVENUMHELPER_H_

#include <cstddef>
#include <cstdint>

#include "error/JsonStatus.h"
#include "tqapal/protons/enumeration/linuxU/tFixedPath.h"
#include "tqapal/tStatus.h"

namespace nTQVLKAET100 {
namespace nTQAPAL000 {

// Most bytes one read takes from a driver file.
constexpr std::size_t kReadLimit = 4096;

// Reporting sites of the helper.
inline constexpr const char* kHelperFile = "tqapal/protons/enumeration/linuxU/linuxDevEnumHelper";
// Content longer than the buffer.
inline constexpr tqerr::ErrorLocation kSiteTooLarge = {kHelperFile, 72, kComponentTool,
                                                       "tqapalerr_bufferTooSmall"};
// A stream error.
inline constexpr tqerr::ErrorLocation kSiteReadError = {kHelperFile, 78, kComponentTool,
                                                        "tqapalerr_readError"};
// The file cannot be opened.
inline constexpr tqerr::ErrorLocation kSiteOpenFailed = {kHelperFile, 87, kComponentTool,
                                                         "tqapalerr_resourceNotFound"};

// Reads the device-node path stored in the file at filePath into path: at
// most 255 bytes (-52019 beyond), terminated, length = bytes + 1. The path is
// left untouched on any failure.
void readPathFile(const char* filePath, tFixedPath& path, tStatus& status);

// Reads the file at filePath into buffer (bufferSize bytes). When bytesRead
// is given it receives the file's size (as far as one read takes it) before
// the size check. A null buffer, or content longer than bufferSize, records
// -52019 and leaves the buffer untouched; shorter content fills only its own
// length.
void readRawFile(const char* filePath, void* buffer, std::size_t bufferSize, std::size_t* bytesRead,
                 tStatus& status);

}  // namespace nTQAPAL000
}  // namespace nTQVLKAET100

#endif  // TQAPAL_PROTONS_ENUMERATION_LINUXU_LINUXDEVENUMHELPER_H_
