// SPDX-License-Identifier: MIT
// iInterfaceProxy_ae: the typed requests of an open AE device interface.
// Each operation is exactly one request to the kernel driver: a fixed request
// code, a fixed request record carrying the arguments and the caller's
// tCompactStatus, and a fixed reply record carrying the results and the
// driver's verdict (layouts in device/aeRecords.h).
//
// Every operation takes the caller's tCompactStatus last and returns nothing:
// - when that block already holds an error, nothing is sent and the
//   out-parameters keep their values;
// - when the request cannot be delivered, the block takes the transport
//   failure (its code, line and source base name) unless it holds an error;
// - otherwise the block becomes the driver's block, whatever its code, and
//   the out-parameters receive the reply's values (also when the driver
//   answered with an error).
// Callers keep the block in a tCompactStatusAdaptor on a tStatus and merge it
// back after the call. Operations never throw and never allocate.
#ifndef DEVICE_IINTERFACEPROXY_AE_H_
#define DEVICE_IINTERFACEPROXY_AE_H_

#include <cstdint>

#include "tqapal/protons/driver/linuxU/iInterfaceProxy.h"
#include "tqapal/tCompactStatus.h"

namespace nTQVLKAET100 {

// Selector the tool sends with every property request.
constexpr std::uint32_t kAllSelectors = 0xFFFFFFFF;

class iInterfaceProxy_ae : public virtual nTQAPAL000::iInterfaceProxy {
 public:
  using tCompactStatus = nTQAPAL000::tCompactStatus;
  using u32 = std::uint32_t;
  using u64 = std::uint64_t;

  virtual void aeRequest01(u32 a, u32 b, u32 c, u32 d, u32& value, tCompactStatus& status) = 0;
  virtual void aeRequest02(u32 a, u32 b, tCompactStatus& status) = 0;
  virtual void aeRequest03(u32 a, u32 b, u64 c, u64 d, tCompactStatus& status) = 0;
  virtual void aeRequest04(u32 a, u32 b, tCompactStatus& status) = 0;
  virtual void aeRequest05(u32 a, u32 b, tCompactStatus& status) = 0;
  virtual void aeRequest06(u32 a, u32 b, tCompactStatus& status) = 0;
  // Writes bufferSize value bytes at buffer to property propertyId of port.
  virtual void setProperty(u32 port, u32 selector, u32 propertyId, const void* buffer,
                           u32 bufferSize, tCompactStatus& status) = 0;
  // Reads property propertyId of port into buffer (capacity bufferSize);
  // size receives the property's size. A null buffer of size 0 asks for the
  // size alone.
  virtual void getProperty(u32 port, u32 selector, u32 propertyId, void* buffer, u32 bufferSize,
                           u32& size, tCompactStatus& status) = 0;
  virtual void aeRequest0B(u64 a, u32 b, tCompactStatus& status) = 0;
  virtual void aeRequest0C(u32 a, u32 b, u32 c, u32 d, u64 (&values)[3],
                           tCompactStatus& status) = 0;
  virtual void aeRequest0D(u32 a, u32 b, u32 c, u32 d, tCompactStatus& status) = 0;
  // value is sent and receives the reply's value.
  virtual void aeRequest0E(u32 a, u32 b, u64 c, u64& value, u32 e, tCompactStatus& status) = 0;
  virtual void aeRequest0F(u32 a, u32 b, u32 c, u32 d, tCompactStatus& status) = 0;
  virtual void aeRequest10(u32 a, u32 b, u32 c, u32 d, tCompactStatus& status) = 0;
  virtual void aeRequest11(u32 a, u32 b, u64 c, u32 d, tCompactStatus& status) = 0;
  virtual void aeRequest13(tCompactStatus& status) = 0;
  virtual void aeRequest14(tCompactStatus& status) = 0;
  // value is sent and receives the reply's value.
  virtual void aeRequest15(u32 a, u32 b, u64 c, u64& value, u32 e, u32 f,
                           tCompactStatus& status) = 0;
  virtual void aeRequest17(u32 a, u32 b, u64 c, u64& value, u32 e, u32 f,
                           tCompactStatus& status) = 0;
  virtual void aeRequest18(u32 a, u32 b, u32 c, tCompactStatus& status) = 0;
  virtual void aeRequest19(u32 a, u32 b, u64 c, tCompactStatus& status) = 0;
};

}  // namespace nTQVLKAET100

#endif  // DEVICE_IINTERFACEPROXY_AE_H_
