// SPDX-License-Identifier: MIT
// tInterfaceProxy_ae: the AE requests of iInterfaceProxy_ae on the open
// device node of tDeviceInterfaceProxy. It adds no state: the handle of the
// device interface proxy is all there is. Use: construct, open(path, status),
// throwIfFatal, then one adaptor per request; destruction closes the node.
#ifndef DEVICE_TINTERFACEPROXY_AE_H_
#define DEVICE_TINTERFACEPROXY_AE_H_

#include <cstdint>

#include "device/iInterfaceProxy_ae.h"
#include "tqapal/protons/driver/linuxU/tDeviceInterfaceProxy.h"

namespace nTQVLKAET100 {

class tInterfaceProxy_ae : public nTQAPAL000::tDeviceInterfaceProxy, public iInterfaceProxy_ae {
 public:
  tInterfaceProxy_ae() = default;
  ~tInterfaceProxy_ae() override = default;

  void aeRequest01(u32 a, u32 b, u32 c, u32 d, u32& value, tCompactStatus& status) override;
  void aeRequest02(u32 a, u32 b, tCompactStatus& status) override;
  void aeRequest03(u32 a, u32 b, u64 c, u64 d, tCompactStatus& status) override;
  void aeRequest04(u32 a, u32 b, tCompactStatus& status) override;
  void aeRequest05(u32 a, u32 b, tCompactStatus& status) override;
  void aeRequest06(u32 a, u32 b, tCompactStatus& status) override;
  void setProperty(u32 port, u32 selector, u32 propertyId, const void* buffer, u32 bufferSize,
                   tCompactStatus& status) override;
  void getProperty(u32 port, u32 selector, u32 propertyId, void* buffer, u32 bufferSize, u32& size,
                   tCompactStatus& status) override;
  void aeRequest0B(u64 a, u32 b, tCompactStatus& status) override;
  void aeRequest0C(u32 a, u32 b, u32 c, u32 d, u64 (&values)[3], tCompactStatus& status) override;
  void aeRequest0D(u32 a, u32 b, u32 c, u32 d, tCompactStatus& status) override;
  void aeRequest0E(u32 a, u32 b, u64 c, u64& value, u32 e, tCompactStatus& status) override;
  void aeRequest0F(u32 a, u32 b, u32 c, u32 d, tCompactStatus& status) override;
  void aeRequest10(u32 a, u32 b, u32 c, u32 d, tCompactStatus& status) override;
  void aeRequest11(u32 a, u32 b, u64 c, u32 d, tCompactStatus& status) override;
  void aeRequest13(tCompactStatus& status) override;
  void aeRequest14(tCompactStatus& status) override;
  void aeRequest15(u32 a, u32 b, u64 c, u64& value, u32 e, u32 f, tCompactStatus& status) override;
  void aeRequest17(u32 a, u32 b, u64 c, u64& value, u32 e, u32 f, tCompactStatus& status) override;
  void aeRequest18(u32 a, u32 b, u32 c, tCompactStatus& status) override;
  void aeRequest19(u32 a, u32 b, u64 c, tCompactStatus& status) override;

 private:
  // The record shapes that several requests share.
  void sendU32x2(u32 code, u32 a, u32 b, tCompactStatus& status);
  void sendU32x4(u32 code, u32 a, u32 b, u32 c, u32 d, tCompactStatus& status);
  void sendValueU32x2(u32 code, u32 a, u32 b, u64 c, u64& value, u32 e, u32 f,
                      tCompactStatus& status);
};

}  // namespace nTQVLKAET100

#endif  // DEVICE_TINTERFACEPROXY_AE_H_
