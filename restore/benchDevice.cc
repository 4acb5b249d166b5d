// SPDX-License-Identifier: MIT
#include "restore/benchDevice.h"

#include "device/propertyAccess.h"
#include "tqapal/tStatus.h"

namespace nTQVLKAET100 {

using nTQAPAL000::throwingStep;
using nTQAPAL000::tStatus;

std::optional<tRestoreFailure> tBenchDevice::read(const tPropertySlot& slot,
                                                  tPropertyBytes& value) {
  std::optional<tRestoreFailure> failure;
  const std::uint32_t size = bench_.size(slot.device, slot.port, slot.propertyId, failure);
  iInterfaceProxy_ae* proxy = failure ? nullptr : bench_.open(slot.device, failure);
  if (failure) return failure;
  return captureFailure([&] {
    value = throwingStep([&](tStatus& status) {
      return readPropertyValueOfSize(*proxy, slot.port, slot.propertyId, size, status);
    });
  });
}

std::optional<tRestoreFailure> tBenchDevice::write(const tPropertySlot& slot,
                                                   const tPropertyBytes& value) {
  std::optional<tRestoreFailure> failure;
  iInterfaceProxy_ae* proxy = bench_.open(slot.device, failure);
  if (failure) return failure;
  return captureFailure([&] {
    throwingStep([&](tStatus& status) {
      writePropertyValue(*proxy, slot.port, slot.propertyId, value.data(),
                         static_cast<std::uint32_t>(value.size()), status);
    });
  });
}

}  // namespace nTQVLKAET100
