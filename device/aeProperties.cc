// SPDX-License-Identifier: MIT
#include "device/aeProperties.h"

namespace nTQVLKAET100 {

const tAeProperty* findAeProperty(std::uint32_t id) {
  for (const tAeProperty& property : kAeProperties) {
    if (property.id == id) return &property;
  }
  return nullptr;
}

}  // namespace nTQVLKAET100
