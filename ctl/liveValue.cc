#include "ctl/liveValue.h"

#include <optional>

#include "device/aeProperties.h"
#include "device/propertyAccess.h"
#include "tqapal/tStatus.h"

namespace nTQVLKAET100 {

std::string tLiveValue::text() const {
  return read ? value.text : "refused (" + std::to_string(code) + ")";
}

tLiveValue refusedValue(const tRestoreFailure& failure) {
  tLiveValue live;
  live.code = failure.code;
  live.report = failure.report;
  return live;
}

tLiveValue readLiveValue(tBenchView& bench, std::size_t index, std::uint32_t port,
                         std::uint32_t propertyId) {
  std::optional<tRestoreFailure> failure;
  const std::uint32_t size = bench.size(index, port, propertyId, failure);
  iInterfaceProxy_ae* proxy = failure ? nullptr : bench.open(index, failure);
  if (failure) return refusedValue(*failure);
  tLiveValue live;
  failure = captureFailure([&] {
    live.value = propertyValue(nTQAPAL000::throwingStep([&](nTQAPAL000::tStatus& status) {
      return readPropertyValueOfSize(*proxy, port, propertyId, size, status);
    }));
  });
  if (failure) return refusedValue(*failure);
  live.read = true;
  return live;
}

std::vector<tLiveValue> readDeviceValues(tBenchView& bench, std::size_t index) {
  const std::uint32_t portCount = bench.devices()[index].portCount;
  std::vector<tLiveValue> values;
  std::optional<tRestoreFailure> failure;
  if (bench.open(index, failure) == nullptr) {
    values.assign(static_cast<std::size_t>(portCount) * kAePropertyCount, refusedValue(*failure));
    return values;
  }
  for (std::uint32_t port = 0; port < portCount; ++port) {
    for (const tAeProperty& property : kAeProperties) {
      values.push_back(readLiveValue(bench, index, port, property.id));
    }
  }
  return values;
}

}  // namespace nTQVLKAET100
