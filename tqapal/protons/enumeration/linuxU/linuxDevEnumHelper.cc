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

void report(tStatus& status, std::int32_t code, std::uint64_t line) {
  setCode(status, code, kComponentTool, kHelperFile, line);
}

std::FILE* openWithRetries(const char* filePath, tStatus& status) {
  for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
    std::FILE* file = std::fopen(filePath, "re");
    if (file != nullptr) return file;
  }
  report(status, tqapalerr_resourceNotFound, kLineOpenFailed);
  return nullptr;
}

// One fread of at most kReadLimit bytes into content. Returns false (and
// records -52024) on a stream error.
bool readOnce(std::FILE* file, char* content, std::size_t& count, tStatus& status) {
  count = std::fread(content, 1, kReadLimit, file);
  if (std::ferror(file)) {
    report(status, tqapalerr_readError, kLineReadError);
    return false;
  }
  return true;
}

}  // namespace

void readPathFile(const char* filePath, tFixedPath& path, tStatus& status) {
  if (isFatal(status)) return;
  std::FILE* file = openWithRetries(filePath, status);
  if (file == nullptr) return;
  char content[kReadLimit];
  std::size_t count = 0;
  if (readOnce(file, content, count, status)) {
    if (count > kMaxPathBytes) {
      report(status, tqapalerr_bufferTooSmall, kLineTooLarge);
    } else {
      std::memcpy(path.text, content, count);
    }
  }
  std::fclose(file);
  if (isFatal(status)) return;
  path.text[count] = 0;
  path.length = count + 1;
}

void readRawFile(const char* filePath, void* buffer, std::size_t bufferSize, std::size_t* bytesRead,
                 tStatus& status) {
  if (isFatal(status)) return;
  std::FILE* file = openWithRetries(filePath, status);
  if (file == nullptr) return;
  char content[kReadLimit];
  std::size_t count = 0;
  if (readOnce(file, content, count, status)) {
    if (bytesRead != nullptr) *bytesRead = count;
    if (buffer != nullptr && count <= bufferSize) {
      std::memcpy(buffer, content, count);
    } else {
      report(status, tqapalerr_bufferTooSmall, kLineTooLarge);
    }
  }
  std::fclose(file);
}

}  // namespace nTQAPAL000
}  // namespace nTQVLKAET100
