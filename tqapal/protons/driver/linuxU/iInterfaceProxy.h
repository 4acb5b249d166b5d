// SPDX-License-Identifier: MIT
// iInterfaceProxy: what every handle on a device interface of the kernel
// driver offers: requests through ioctl, plain read and write, and memory
// mapping, each recording failures in the caller's tStatus (passed last) and
// doing nothing when that status already holds an error. close() and
// unmapMemory() take no status and report nothing.
#ifndef TQAPAL_PROTONS_DRIVER_LINUXU_IINTERFACEPROXY_H_
#define TQAPAL_PROTONS_DRIVER_LINUXU_IINTERFACEPROXY_H_

#include <cstdint>

#include "tqapal/tStatus.h"

namespace nTQVLKAET100 {
namespace nTQAPAL000 {

// One mapped region, owned by the caller: address null when not mapped.
struct tMapping {
  void* address = nullptr;
  std::uint64_t length = 0;
};

// Access value of mapMemory that asks for a writable mapping; any other
// value maps read-only.
constexpr std::uint32_t kMapReadWrite = 1;

class iInterfaceProxy {
 public:
  virtual ~iInterfaceProxy() = default;

  // Closes the handle if it is open; returns the system's answer, 0 if it
  // was not open.
  virtual int close() = 0;
  // Sends one request framed in the driver's 32-byte argument block; returns
  // the block's bytes-returned word.
  virtual std::uint32_t ioctl(std::uint32_t requestCode, const void* input, std::uint32_t inputSize,
                              void* output, std::uint32_t outputSize, tStatus& status) = 0;
  // Byte count, or -1 on failure (0 when skipped).
  virtual std::int64_t read(void* buffer, std::uint64_t length, tStatus& status) = 0;
  virtual std::int64_t write(const void* buffer, std::uint64_t length, tStatus& status) = 0;
  // Maps length bytes of region regionIndex (low 16 bits, in pages); returns
  // the address, also stored in mapping, or null.
  virtual void* mapMemory(std::uint32_t regionIndex, std::uint64_t length, std::uint32_t access,
                          tMapping& mapping, tStatus& status) = 0;
  virtual void unmapMemory(tMapping& mapping) = 0;
};

}  // namespace nTQAPAL000
}  // namespace nTQVLKAET100

#endif  // TQAPAL_PROTONS_DRIVER_LINUXU_IINTERFACEPROXY_H_
