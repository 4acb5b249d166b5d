// SPDX-License-Identifier: MIT
// The class tree of the device proxies and the order of their virtual
// operations, which other modules built against these classes rely on.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "device/tInterfaceProxy_ae.h"

namespace nTQVLKAET100 {
namespace {

using nTQAPAL000::iInterfaceProxy;
using nTQAPAL000::tDeviceInterfaceProxy;
using nTQAPAL000::tStatus;

static_assert(std::is_abstract_v<iInterfaceProxy>);
static_assert(std::is_abstract_v<iInterfaceProxy_ae>);
static_assert(std::is_polymorphic_v<tInterfaceProxy_ae> && !std::is_abstract_v<tInterfaceProxy_ae>);
// One iInterfaceProxy below both branches: the conversion is unambiguous.
static_assert(std::is_convertible_v<tInterfaceProxy_ae*, iInterfaceProxy*>);
static_assert(std::is_convertible_v<tInterfaceProxy_ae*, tDeviceInterfaceProxy*>);
static_assert(std::is_convertible_v<tInterfaceProxy_ae*, iInterfaceProxy_ae*>);

// The vtable slot of a virtual member function: on this platform's C++ ABI a
// pointer to a virtual member holds 1 + the entry's byte offset in the
// vtable. -1 for a member that is not virtual.
template <typename MemberFunction>
std::ptrdiff_t slotOf(MemberFunction function) {
  struct Representation {
    std::ptrdiff_t pointer;
    std::ptrdiff_t adjustment;
  };
  static_assert(sizeof(MemberFunction) == sizeof(Representation));
  Representation representation;
  std::memcpy(&representation, &function, sizeof(representation));
  if ((representation.pointer & 1) == 0) return -1;
  return (representation.pointer - 1) / static_cast<std::ptrdiff_t>(sizeof(void*));
}

using OpenByText = void (tDeviceInterfaceProxy::*)(const std::string&, tStatus&);
using OpenByPointer = void (tDeviceInterfaceProxy::*)(const char*, tStatus&);

// Slots 0 and 1 hold the destructor pair.
std::vector<std::ptrdiff_t> deviceProxySlots() {
  using P = tDeviceInterfaceProxy;
  return {slotOf(&P::close),
          slotOf(&P::ioctl),
          slotOf(&P::read),
          slotOf(&P::write),
          slotOf(&P::mapMemory),
          slotOf(&P::unmapMemory),
          slotOf(&P::isOpen),
          slotOf(static_cast<OpenByText>(&P::open)),
          slotOf(static_cast<OpenByPointer>(&P::open))};
}

template <typename Proxy>
std::vector<std::ptrdiff_t> aeSlots() {
  return {slotOf(&Proxy::aeRequest01), slotOf(&Proxy::aeRequest02), slotOf(&Proxy::aeRequest03),
          slotOf(&Proxy::aeRequest04), slotOf(&Proxy::aeRequest05), slotOf(&Proxy::aeRequest06),
          slotOf(&Proxy::setProperty), slotOf(&Proxy::getProperty), slotOf(&Proxy::aeRequest0B),
          slotOf(&Proxy::aeRequest0C), slotOf(&Proxy::aeRequest0D), slotOf(&Proxy::aeRequest0E),
          slotOf(&Proxy::aeRequest0F), slotOf(&Proxy::aeRequest10), slotOf(&Proxy::aeRequest11),
          slotOf(&Proxy::aeRequest13), slotOf(&Proxy::aeRequest14), slotOf(&Proxy::aeRequest15),
          slotOf(&Proxy::aeRequest17), slotOf(&Proxy::aeRequest18), slotOf(&Proxy::aeRequest19)};
}

std::vector<std::ptrdiff_t> countingFrom(std::ptrdiff_t first, std::size_t count) {
  std::vector<std::ptrdiff_t> slots;
  for (std::size_t i = 0; i < count; ++i) slots.push_back(first + static_cast<std::ptrdiff_t>(i));
  return slots;
}

TEST(ProxyLayout, DeviceProxyOperationsFollowTheDestructorPair) {
  EXPECT_EQ(deviceProxySlots(), countingFrom(2, 9));
}

TEST(ProxyLayout, AeOperationsFollowTheDeviceProxyOnesInTableOrder) {
  EXPECT_EQ(aeSlots<tInterfaceProxy_ae>(), countingFrom(11, 21));
  // In the AE interface itself they follow the eight of iInterfaceProxy.
  EXPECT_EQ(aeSlots<iInterfaceProxy_ae>(), countingFrom(8, 21));
}

TEST(ProxyLayout, BothBranchesShareOneInterfaceProxy) {
  tInterfaceProxy_ae proxy;
  iInterfaceProxy* throughDevice = static_cast<tDeviceInterfaceProxy*>(&proxy);
  iInterfaceProxy* throughAe = static_cast<iInterfaceProxy_ae*>(&proxy);
  EXPECT_EQ(throughDevice, throughAe);
}

}  // namespace
}  // namespace nTQVLKAET100
