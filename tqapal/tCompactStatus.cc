// SPDX-License-Identifier: MIT
#include "tqapal/tCompactStatus.h"

#include <cstring>


namespace nTQVLKAET100 {
namespace nTQAPAL000 {

void compactFromStatus(tCompactStatus& compact, const tStatus& full) {
  // Not the merge rule: a transport failure replaces whatever the block holds
  // but an error, warnings and success alike, line and file included.
  if (compact.code < 0) return;
  compact.code = static_cast<std::int32_t>(full.code);
  if (full.structSize < kStatusFullSize) {
    compact.line = 0;
    compact.file[0] = 0;
    compact.file[23] = 0;
    return;
  }
  compact.line = static_cast<std::uint32_t>(full.line);
  // The driver block has room for a base name only.
  const char* file = full.file;
  const std::size_t length = strnlen(file, sizeof(full.file));
  const char* base = file;
  for (std::size_t i = 0; i < length; ++i) {
    if (file[i] == '/') base = file + i + 1;
  }
  const std::size_t baseLength = static_cast<std::size_t>(file + length - base);
  const std::size_t kept = baseLength < 23 ? baseLength : 23;
  std::memcpy(compact.file, base, kept);
  compact.file[kept] = 0;
  compact.file[23] = 0;
}

tCompactStatusAdaptor::tCompactStatusAdaptor(tStatus& owner) : owner_(&owner) {
  const bool full = owner.structSize >= kStatusFullSize;
  block_.code = static_cast<std::int32_t>(owner.code);
  block_.line = full ? static_cast<std::uint32_t>(owner.line) : 0;
  // The whole block travels to the driver: no byte of it is left unset.
  std::memset(block_.file, 0, sizeof(block_.file));
  if (owner.code != 0 && full) {
    const std::size_t length = strnlen(owner.file, 23);
    std::memcpy(block_.file, owner.file, length);
    block_.file[length] = 0;
  }
}

bool tCompactStatusAdaptor::mergeBack() {
  char file[sizeof(block_.file) + 1];
  const std::size_t length = strnlen(block_.file, sizeof(block_.file));
  std::memcpy(file, block_.file, length);
  file[length] = 0;
  return setCode(*owner_, block_.code, kComponentDriver, file, block_.line);
}

}  // namespace nTQAPAL000
}  // namespace nTQVLKAET100
