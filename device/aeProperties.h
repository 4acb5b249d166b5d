// SPDX-License-Identifier: MIT
// The port properties of an AE device that a settings entry may name: the
// one table of their names, driver identifiers and usual sizes. The restore
// sequence looks the names up here; a program that shows or compares port
// properties walks the same table.
//
// The usual size is what the driver reports for the property today. Restore
// never relies on it: it asks the driver for the size before every write.
// It is there for work without a driver (checking a settings file offline).
#ifndef DEVICE_AEPROPERTIES_H_
#define DEVICE_AEPROPERTIES_H_

#include <cstddef>
#include <cstdint>

namespace nTQVLKAET100 {

// Property identifier of forcelinkdisable, which the port pass clears.
constexpr std::uint32_t kPropertyForceLinkDisable = 0x0210FEEA;

struct tAeProperty {
  const char* name;  // lower case, as settings keys name it
  std::uint32_t id;
  std::uint32_t usualSize;  // bytes: 1 or 4
};

inline constexpr tAeProperty kAeProperties[] = {
    {"portmode", 0x13FFFE, 4},
    {"phystate", 0x13FFFD, 4},
    {"forcelinkdisable", kPropertyForceLinkDisable, 1},
    {"linkspeed", 0x13FFF7, 4},
    {"jumboframes", 0x13FFF5, 4},
    {"interruptmoderation", 0x13FFF3, 4},
    {"sleepcapabilityconfigured", 0x13FFEF, 4},
};
inline constexpr std::size_t kAePropertyCount = sizeof(kAeProperties) / sizeof(kAeProperties[0]);

// The row of the property with this identifier, or null.
const tAeProperty* findAeProperty(std::uint32_t id);

}  // namespace nTQVLKAET100

#endif  // DEVICE_AEPROPERTIES_H_
