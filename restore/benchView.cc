#include "restore/benchView.h"

#include "device/propertyAccess.h"
#include "settings/valueConversion.h"
#include "tqapal/tStatus.h"

namespace nTQVLKAET100 {

using nTQAPAL000::throwIfFatal;
using nTQAPAL000::throwingStep;
using nTQAPAL000::tStatus;

tBenchView::tBenchView() {
  listFailure_ = captureFailure([&] {
    tStatus status;
    listAeDevices(devices_, status);
    throwIfFatal(status);
  });
}

std::size_t tBenchView::reach(std::uint32_t serial) const {
  for (std::size_t i = 0; i < devices_.size(); ++i) {
    if (devices_[i].serial == serial) return i;
  }
  return kNone;
}

iInterfaceProxy_ae* tBenchView::open(std::size_t index, std::optional<tRestoreFailure>& failure) {
  auto found = opened_.find(index);
  if (found == opened_.end()) {
    tOpened opened;
    auto proxy = std::make_unique<tInterfaceProxy_ae>();
    opened.failure = captureFailure(
        [&] { throwingStep([&](tStatus& status) { proxy->open(devices_[index].node, status); }); });
    if (!opened.failure) opened.proxy = std::move(proxy);
    found = opened_.emplace(index, std::move(opened)).first;
  }
  failure = found->second.failure;
  return found->second.proxy.get();
}

std::uint32_t tBenchView::size(std::size_t index, std::uint32_t port, std::uint32_t propertyId,
                               std::optional<tRestoreFailure>& failure) {
  const auto key = std::make_tuple(index, port, propertyId);
  auto found = sizes_.find(key);
  if (found == sizes_.end()) {
    tSize size;
    iInterfaceProxy_ae* proxy = open(index, size.failure);
    if (proxy != nullptr) {
      size.failure = captureFailure([&] {
        size.size = throwingStep(
            [&](tStatus& status) { return queryPropertySize(*proxy, port, propertyId, status); });
      });
    }
    found = sizes_.emplace(key, std::move(size)).first;
  }
  failure = found->second.failure;
  return found->second.size;
}

tEntryPlan planEntryOn(tBenchView& bench, const std::string& key, const std::string& rawValue,
                       unsigned long line) {
  if (bench.listFailure()) return planEntry(key, rawValue, line);
  tEntryPlan plan;
  if (!planEntryKey(plan, key, rawValue, line)) return plan;
  plan.deviceIndex = bench.reach(plan.parsed.serialNumber);
  if (plan.deviceIndex == tBenchView::kNone) {
    plan.step = tPlanStep::kAbsent;
    return plan;
  }
  plan.devicePath = bench.devices()[plan.deviceIndex].node;
  std::optional<tRestoreFailure> failure;
  if (bench.open(plan.deviceIndex, failure) == nullptr) {
    plan.step = tPlanStep::kOpen;
  } else {
    plan.size = bench.size(plan.deviceIndex, plan.parsed.port, plan.parsed.propertyId, failure);
    if (failure) plan.step = tPlanStep::kSizeQuery;
  }
  if (failure) {
    failure->line = line;
    plan.failure = std::move(failure);
    return plan;
  }
  planEntryValue(plan);
  return plan;
}

}  // namespace nTQVLKAET100
