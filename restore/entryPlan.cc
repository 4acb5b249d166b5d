#include "restore/entryPlan.h"

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

// Runs one step of the plan; what it throws is kept as the plan's failure,
// at the entry's line.
template <typename Work>
bool attempt(tEntryPlan& plan, tPlanStep step, Work&& work) {
  plan.failure = captureFailure(work);
  if (!plan.failure) return true;
  plan.failure->line = plan.line;
  plan.step = step;
  return false;
}

tEntryPlan startPlan(const std::string& key, const std::string& rawValue, unsigned long line) {
  tEntryPlan plan;
  plan.key = key;
  plan.line = line;
  plan.value = settingValueText(rawValue);
  return plan;
}

// The key is checked first, so a malformed key fails even when no such
// device is present.
bool planKey(tEntryPlan& plan) {
  tScannedKey scanned;
  if (!attempt(plan, tPlanStep::kKey, [&] { scanned = scanSettingKey(plan.key); })) {
    return false;
  }
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
                       std::optional<std::uint32_t> size, unsigned long line) {
  tEntryPlan plan = startPlan(key, rawValue, line);
  if (!planKey(plan)) return plan;
  const tAeProperty* property = findAeProperty(plan.parsed.propertyId);
  plan.size = size ? *size : (property != nullptr ? property->usualSize : 0);
  planValue(plan);
  return plan;
}

}  // namespace

tEntryPlan planEntry(const std::string& key, const std::string& rawValue, unsigned long line) {
  tEntryPlan plan = startPlan(key, rawValue, line);
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

tEntryPlan planEntryOffline(const std::string& key, const std::string& rawValue, std::uint32_t size,
                            unsigned long line) {
  return planOffline(key, rawValue, size, line);
}

tEntryPlan planEntryOffline(const std::string& key, const std::string& rawValue) {
  return planOffline(key, rawValue, std::nullopt, 0);
}

bool planEntryKey(tEntryPlan& plan, const std::string& key, const std::string& rawValue,
                  unsigned long line) {
  plan = startPlan(key, rawValue, line);
  return planKey(plan);
}

void planEntryValue(tEntryPlan& plan) {
  planValue(plan);
}

std::optional<tRestoreFailure> writeEntryPlan(tEntryPlan& plan) {
  if (plan.failure) return plan.failure;
  if (plan.step != tPlanStep::kReady || plan.device == nullptr) return std::nullopt;
  std::optional<tRestoreFailure> failure = captureFailure([&] {
    throwingStep([&](tStatus& status) {
      writePropertyValue(*plan.device, plan.parsed.port, plan.parsed.propertyId, plan.bytes,
                         plan.size, status);
    });
  });
  if (failure) failure->line = plan.line;
  plan.device.reset();
  return failure;
}

}  // namespace nTQVLKAET100
