// SPDX-License-Identifier: MIT
// Relocates "prefixdir" but fills the whole buffer without a terminating NUL.
#include <cstring>

#include "askedLog.h"

extern "C" int get_relocated_dir(const char* key, char* buffer, int size) {
  logAsked(key);
  if (std::strcmp(key, "prefixdir") != 0) return 0;
  std::memset(buffer, 'x', static_cast<std::size_t>(size));
  return size;
}
