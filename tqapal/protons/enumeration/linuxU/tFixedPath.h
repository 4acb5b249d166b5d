// SPDX-License-Identifier: MIT
// tFixedPath: a path text of fixed capacity, as handed out by the device
// interface enumeration. Its length counts the terminating NUL, so a
// five-character path has length 6 and an empty, never-filled path length 0.
#ifndef TQAPAL_PROTONS_ENUMERATION_LINUXU_TFIXEDPATH_H_
#define TQAPAL_PROTONS_ENUMERATION_LINUXU_TFIXEDPATH_H_

#include <cstddef>
#include <cstdint>

namespace nTQVLKAET100 {
namespace nTQAPAL000 {

struct tFixedPath {
  static constexpr std::size_t kCapacity = 256;

  char text[kCapacity];
  std::uint64_t length;  // characters plus the terminating NUL
};

static_assert(sizeof(tFixedPath) == 264);
static_assert(offsetof(tFixedPath, length) == 256);

}  // namespace nTQAPAL000
}  // namespace nTQVLKAET100

#endif  // TQAPAL_PROTONS_ENUMERATION_LINUXU_TFIXEDPATH_H_
