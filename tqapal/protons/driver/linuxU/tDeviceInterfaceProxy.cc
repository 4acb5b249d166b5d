// SPDX-License-Identifier: MIT
#include "tqapal/protons/driver/linuxU/tDeviceInterfaceProxy.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>

#include "tqapal/errors.h"

namespace nTQVLKAET100 {
namespace nTQAPAL000 {

namespace {

// Records the errno of the call that just failed. Read errno first: nothing
// may run between the failing call and this.
void reportErrno(tStatus& status, const tqerr::ErrorLocation& site) {
  const int failure = errno;
  setCode(status, mapErrno(failure), site);
}

}  // namespace

tDeviceInterfaceProxy::~tDeviceInterfaceProxy() {
  tDeviceInterfaceProxy::close();
}

bool tDeviceInterfaceProxy::isOpen() const {
  return descriptor_ != -1;
}

void tDeviceInterfaceProxy::open(const std::string& path, tStatus& status) {
  open(path.c_str(), status);
}

void tDeviceInterfaceProxy::open(const char* path, tStatus& status) {
  if (isFatal(status)) return;
  descriptor_ = ::open(path, O_RDWR | O_CLOEXEC);
  if (descriptor_ == -1) reportErrno(status, kSiteOpen);
}

int tDeviceInterfaceProxy::close() {
  if (!isOpen()) return 0;
  const int result = ::close(descriptor_);
  descriptor_ = -1;
  return result;
}

std::uint32_t tDeviceInterfaceProxy::ioctl(std::uint32_t requestCode, const void* input,
                                           std::uint32_t inputSize, void* output,
                                           std::uint32_t outputSize, tStatus& status) {
  if (isFatal(status)) return 0;
  tIoctlBlock block;
  block.inputAddress = reinterpret_cast<std::uintptr_t>(input);
  block.outputAddress = reinterpret_cast<std::uintptr_t>(output);
  block.inputSize = inputSize;
  block.outputSize = outputSize;
  block.bytesReturned = 0;
  block.reserved = 0;
  if (::ioctl(descriptor_, static_cast<unsigned long>(requestCode), &block) == -1) {
    reportErrno(status, kSiteIoctl);
  }
  return block.bytesReturned;
}

std::int64_t tDeviceInterfaceProxy::read(void* buffer, std::uint64_t length, tStatus& status) {
  if (isFatal(status)) return 0;
  const ssize_t count = ::read(descriptor_, buffer, length);
  if (count == -1) reportErrno(status, kSiteRead);
  return count;
}

std::int64_t tDeviceInterfaceProxy::write(const void* buffer, std::uint64_t length,
                                          tStatus& status) {
  if (isFatal(status)) return 0;
  const ssize_t count = ::write(descriptor_, buffer, length);
  if (count == -1) reportErrno(status, kSiteWrite);
  return count;
}

void* tDeviceInterfaceProxy::mapMemory(std::uint32_t regionIndex, std::uint64_t length,
                                       std::uint32_t access, tMapping& mapping, tStatus& status) {
  if (isFatal(status)) return nullptr;
  const int protection = access == kMapReadWrite ? PROT_READ | PROT_WRITE : PROT_READ;
  // The driver numbers its regions in pages; only the low 16 bits select one.
  const off_t offset = static_cast<off_t>(regionIndex & 0xFFFFu) * sysconf(_SC_PAGESIZE);
  void* address = mmap(nullptr, length, protection, MAP_SHARED, descriptor_, offset);
  if (address == MAP_FAILED) {
    reportErrno(status, kSiteMap);
    mapping.address = nullptr;
    return nullptr;
  }
  mapping.address = address;
  mapping.length = length;
  return address;
}

void tDeviceInterfaceProxy::unmapMemory(tMapping& mapping) {
  if (mapping.address == nullptr) return;
  munmap(mapping.address, mapping.length);
  mapping.address = nullptr;
}

}  // namespace nTQAPAL000
}  // namespace nTQVLKAET100
