// SPDX-License-Identifier: MIT
// tDeviceInterfaceProxy: the open handle on one device node of the kernel
// driver. It opens the node named by an interface path, frames every ioctl
// request in the driver's 32-byte argument block, and offers read, write and
// memory mapping on the same descriptor.
//
// One object owns one descriptor (-1 when closed) and closes it when
// destroyed. Failures of the system calls are recorded in the caller's
// tStatus as the mapped errno, component "tqvlkaepropinit", file
// tqapal/protons/driver/linuxU/tDeviceInterfaceProxy. The proxy does not
// guard a closed descriptor: operations pass -1 on and record the system's
// EBADF (-52006). A request the driver refuses in its own reply record is
// not seen here; that is the typed front end's business.
#ifndef TQAPAL_PROTONS_DRIVER_LINUXU_TDEVICEINTERFACEPROXY_H_
#define TQAPAL_PROTONS_DRIVER_LINUXU_TDEVICEINTERFACEPROXY_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "error/JsonStatus.h"
#include "tqapal/protons/driver/linuxU/iInterfaceProxy.h"
#include "tqapal/tStatus.h"

namespace nTQVLKAET100 {
namespace nTQAPAL000 {

// The ioctl argument block of the driver.
struct tIoctlBlock {
  std::uint64_t inputAddress;
  std::uint64_t outputAddress;
  std::uint32_t inputSize;
  std::uint32_t outputSize;
  std::uint32_t bytesReturned;  // 0 on entry; the driver may set it
  std::uint32_t reserved;       // always 0
};

static_assert(sizeof(tIoctlBlock) == 32, "the driver takes a 32-byte argument block");
static_assert(offsetof(tIoctlBlock, inputAddress) == 0);
static_assert(offsetof(tIoctlBlock, outputAddress) == 8);
static_assert(offsetof(tIoctlBlock, inputSize) == 16);
static_assert(offsetof(tIoctlBlock, outputSize) == 20);
static_assert(offsetof(tIoctlBlock, bytesReturned) == 24);
static_assert(offsetof(tIoctlBlock, reserved) == 28);

// Reporting sites of the proxy; the code is the failed call's errno, mapped.
inline constexpr const char* kProxyFile = "tqapal/protons/driver/linuxU/tDeviceInterfaceProxy";
inline constexpr tqerr::ErrorLocation kSiteOpen = {kProxyFile, 46, kComponentTool, "err"};
inline constexpr tqerr::ErrorLocation kSiteIoctl = {kProxyFile, 85, kComponentTool, "err"};
inline constexpr tqerr::ErrorLocation kSiteRead = {kProxyFile, 105, kComponentTool, "err"};
inline constexpr tqerr::ErrorLocation kSiteWrite = {kProxyFile, 123, kComponentTool, "err"};
inline constexpr tqerr::ErrorLocation kSiteMap = {kProxyFile, 148, kComponentTool, "err"};

class tDeviceInterfaceProxy : public virtual iInterfaceProxy {
 public:
  tDeviceInterfaceProxy() = default;
  ~tDeviceInterfaceProxy() override;
  tDeviceInterfaceProxy(const tDeviceInterfaceProxy&) = delete;
  tDeviceInterfaceProxy& operator=(const tDeviceInterfaceProxy&) = delete;

  int close() override;
  std::uint32_t ioctl(std::uint32_t requestCode, const void* input, std::uint32_t inputSize,
                      void* output, std::uint32_t outputSize, tStatus& status) override;
  std::int64_t read(void* buffer, std::uint64_t length, tStatus& status) override;
  std::int64_t write(const void* buffer, std::uint64_t length, tStatus& status) override;
  void* mapMemory(std::uint32_t regionIndex, std::uint64_t length, std::uint32_t access,
                  tMapping& mapping, tStatus& status) override;
  void unmapMemory(tMapping& mapping) override;

  virtual bool isOpen() const;
  // Forwards to open(path.c_str(), status).
  virtual void open(const std::string& path, tStatus& status);
  // Opens the device node read-write, close-on-exec. An open descriptor is
  // not closed first: each proxy is opened once.
  virtual void open(const char* path, tStatus& status);

 private:
  int descriptor_ = -1;
};

}  // namespace nTQAPAL000
}  // namespace nTQVLKAET100

#endif  // TQAPAL_PROTONS_DRIVER_LINUXU_TDEVICEINTERFACEPROXY_H_
