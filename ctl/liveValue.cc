// SPDX-License-Identifier: MIT
#include "ctl/liveValue.h"

#include <exception>
#include <new>

#include "device/aeProperties.h"
#include "device/propertyAccess.h"
#include "device/tInterfaceProxy_ae.h"
#include "error/Exception.h"
#include "tqapal/tStatus.h"

namespace nTQVLKAET100 {

std::string tLiveValue::text() const {
  return read ? value.text : "refused (" + std::to_string(code) + ")";
}

tLiveValue refusedValue(const std::exception_ptr& failure) {
  tLiveValue live;
  try {
    std::rethrow_exception(failure);
  } catch (const tqerr::ExceptionBase& error) {
    live.code = error.code();
  } catch (...) {
  }
  live.report = restoreReport(failure);
  return live;
}

tLiveValue readLiveValue(iInterfaceProxy_ae& device, std::uint32_t port, std::uint32_t propertyId) {
  try {
    tLiveValue live;
    live.value = propertyValue(nTQAPAL000::throwingStep([&](nTQAPAL000::tStatus& status) {
      return readPropertyValue(device, port, propertyId, status);
    }));
    live.read = true;
    return live;
  } catch (const std::bad_alloc&) {
    throw;
  } catch (...) {
    return refusedValue(std::current_exception());
  }
}

std::vector<tLiveValue> readDeviceValues(const tAeDevice& device) {
  std::vector<tLiveValue> values;
  tInterfaceProxy_ae proxy;
  try {
    nTQAPAL000::throwingStep([&](nTQAPAL000::tStatus& status) { proxy.open(device.node, status); });
  } catch (const std::bad_alloc&) {
    throw;
  } catch (...) {
    values.assign(static_cast<std::size_t>(device.portCount) * kAePropertyCount,
                  refusedValue(std::current_exception()));
    return values;
  }
  for (std::uint32_t port = 0; port < device.portCount; ++port) {
    for (const tAeProperty& property : kAeProperties) {
      values.push_back(readLiveValue(proxy, port, property.id));
    }
  }
  return values;
}

}  // namespace nTQVLKAET100
