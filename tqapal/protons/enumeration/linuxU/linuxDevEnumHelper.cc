// SPDX-License-Identifier: MIT
#include "tqapal/protons/enumeration/linuxU/linuxDevEnumHelper.h"

#include <cstdio>
#include <cstring>

#include "tqapal/errors.h"

namespace nTQVLKAET100 {
namespace nTQAPAL000 {

namespace {

// The driver may be busy recreating a file; a few immediate retries ride
// that out without a delay.
constexpr int kOpenAttempts = 10;

// Longest device-node path the driver publishes.
constexpr std::size_t kMaxPathBytes = tFixedPath::kCapacity - 1;

std::FILE* openWithRetries(const char* filePath, tStatus& status) {
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    std::FILE* file = std::fopen(filePath, "re");
    if (file != nullptr) return file;
  }
  setCode(status, tqapalerr_resourceNotFound, kSiteOpenFailed);
  return nullptr;
}

// One fread of at most kReadLimit bytes into content. Returns false (and
// records -52024) on a stream error.
bool readOnce(std::FILE* file, char* content, std::size_t& count, tStatus& status) {
  count = std::fread(content, 1, kReadLimit, file);
  if (std::ferror(file)) {
    setCode(status, tqapalerr_readError, kSiteReadError);
    return false;
  }
  return true;
}

// Opens the file (with retries), reads it once into content and closes it.
// Returns false when the open or the read failed (status holds why).
bool readDriverFile(const char* filePath, char (&content)[kReadLimit], std::size_t& count,
                    tStatus& status) {
  std::FILE* file = openWithRetries(filePath, status);
  if (file == nullptr) return false;
  const bool read = readOnce(file, content, count, status);
  std::fclose(file);
  return read;
}

}  // namespace

void readPathFile(const char* filePath, tFixedPath& path, tStatus& status) {
  if (isFatal(status)) return;
  char content[kReadLimit];
  std::size_t count = 0;
  if (!readDriverFile(filePath, content, count, status)) return;
  if (count > kMaxPathBytes) {
    setCode(status, tqapalerr_bufferTooSmall, kSiteTooLarge);
    return;
  }
  std::memcpy(path.text, content, count);
  path.text[count] = 0;
  path.length = count + 1;
}

void readRawFile(const char* filePath, void* buffer, std::size_t bufferSize, std::size_t* bytesRead,
                 tStatus& status) {
  if (isFatal(status)) return;
  char content[kReadLimit];
  std::size_t count = 0;
  if (!readDriverFile(filePath, content, count, status)) return;
  if (bytesRead != nullptr) *bytesRead = count;
  if (buffer != nullptr && count <= bufferSize) {
    std::memcpy(buffer, content, count);
  } else {
    setCode(status, tqapalerr_bufferTooSmall, kSiteTooLarge);
  }
}

}  // namespace nTQAPAL000
}  // namespace nTQVLKAET100
