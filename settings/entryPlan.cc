// SPDX-License-Identifier: MIT
#include "settings/entryPlan.h"

#include <new>
#include <optional>

#include "device/aeProperties.h"
#include "device/deviceLookup.h"
#include "device/propertyAccess.h"
#include "settings/valueConversion.h"
#include "tqapal/tStatus.h"

namespace nTQVLKAET100 {

using nTQAPAL000::throwingStep;
using nTQAPAL000::tStatus;

namespace {

// Runs one step of the plan; what it throws (except a full memory, which
// ends the run as it always did) is kept as the plan's failure.
template <typename Work>
bool attempt(tEntryPlan& plan, tPlanStep step, Work&& work) {
  try {
    work();
    return true;
  } catch (const std::bad_alloc&) {
    throw;
  } catch (...) {
    plan.step = step;
    plan.failure = std::current_exception();
    return false;
  }
}

tEntryPlan startPlan(const std::string& key, const std::string& rawValue) {
  tEntryPlan plan;
  plan.key = key;
  plan.value = settingValueText(rawValue);
  return plan;
}

// The key is checked first, so a malformed key fails even when no such
// device is present.
bool planKey(tEntryPlan& plan) {
  tScannedKey scanned;
  if (!attempt(plan, tPlanStep::kKey, [&] { scanned = scanSettingKey(plan.key); })) return false;
  return attempt(plan, tPlanStep::kProperty, [&] {
    plan.parsed = {scanned.serialNumber, scanned.port, lookupPropertyId(scanned.propertyWord)};
  });
}

bool planValue(tEntryPlan& plan) {
  const tPlanStep step = plan.size == 1 || plan.size == 4 ? tPlanStep::kValue : tPlanStep::kSize;
  if (!attempt(plan, step, [&] { convertSettingValue(plan.value, plan.size, plan.bytes); })) {
    return false;
  }
  plan.step = tPlanStep::kReady;
  return true;
}

tEntryPlan planOffline(const std::string& key, const std::string& rawValue,
                       std::optional<std::uint32_t> size) {
  tEntryPlan plan = startPlan(key, rawValue);
  if (!planKey(plan)) return plan;
  const tAeProperty* property = findAeProperty(plan.parsed.propertyId);
  plan.size = size ? *size : (property != nullptr ? property->usualSize : 0);
  planValue(plan);
  return plan;
}

}  // namespace

tEntryPlan planEntry(const std::string& key, const std::string& rawValue) {
  tEntryPlan plan = startPlan(key, rawValue);
  if (!planKey(plan)) return plan;
  if (!attempt(plan, tPlanStep::kLookup,
               [&] { plan.devicePath = findInterfacePath(plan.parsed.serialNumber); })) {
    return plan;
  }
  if (plan.devicePath.empty()) {
    plan.step = tPlanStep::kAbsent;
    return plan;
  }
  // Closed on every failure below, before the plan is handed back.
  auto device = std::make_unique<tInterfaceProxy_ae>();
  if (!attempt(plan, tPlanStep::kOpen, [&] {
        throwingStep([&](tStatus& status) { device->open(plan.devicePath, status); });
      })) {
    return plan;
  }
  if (!attempt(plan, tPlanStep::kSizeQuery, [&] {
        plan.size = throwingStep([&](tStatus& status) {
          return queryPropertySize(*device, plan.parsed.port, plan.parsed.propertyId, status);
        });
      })) {
    return plan;
  }
  if (planValue(plan)) plan.device = std::move(device);
  return plan;
}

tEntryPlan planEntryOffline(const std::string& key, const std::string& rawValue,
                            std::uint32_t size) {
  return planOffline(key, rawValue, size);
}

tEntryPlan planEntryOffline(const std::string& key, const std::string& rawValue) {
  return planOffline(key, rawValue, std::nullopt);
}

void writeEntryPlan(tEntryPlan& plan) {
  if (plan.failure != nullptr) std::rethrow_exception(plan.failure);
  if (plan.step != tPlanStep::kReady || plan.device == nullptr) return;
  throwingStep([&](tStatus& status) {
    writePropertyValue(*plan.device, plan.parsed.port, plan.parsed.propertyId, plan.bytes,
                       plan.size, status);
  });
  plan.device.reset();
}

}  // namespace nTQVLKAET100
