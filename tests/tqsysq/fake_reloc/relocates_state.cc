// SPDX-License-Identifier: MIT
// Relocates "sharedstatedir" only.
#include <cstring>

#include "askedLog.h"

extern "C" int get_relocated_dir(const char* key, char* buffer, int size) {
  logAsked(key);
  if (std::strcmp(key, "sharedstatedir") != 0) return 0;
  std::strncpy(buffer, "/opt/state", static_cast<std::size_t>(size));
  return 1;
}
