// SPDX-License-Identifier: MIT
#include "restore/targetState.h"

#include <algorithm>
#include <map>
#include <optional>
#include <tuple>

#include "device/aeProperties.h"

namespace nTQVLKAET100 {

namespace {

using tSlotKey = std::tuple<std::size_t, std::uint32_t, std::uint32_t>;

tSlotKey keyOf(const tPropertySlot& slot) {
  return {slot.device, slot.port, slot.propertyId};
}

bool selected(const std::vector<std::uint32_t>& serials, std::uint32_t serial) {
  return serials.empty() || std::find(serials.begin(), serials.end(), serial) != serials.end();
}

// The port pass's slots, in its order, each once.
std::vector<tPropertySlot> portPassSlots(const tBenchView& bench,
                                         const std::vector<std::uint32_t>& serials) {
  std::vector<tPropertySlot> slots;
  std::map<tSlotKey, bool> seen;
  for (const tAeDevice& device : bench.devices()) {
    if (!selected(serials, device.serial)) continue;
    const std::size_t reached = bench.reach(device.serial);
    for (std::uint32_t port = 0; port < device.portCount; ++port) {
      const tPropertySlot slot{reached, port, kPropertyForceLinkDisable};
      if (seen.emplace(keyOf(slot), true).second) slots.push_back(slot);
    }
  }
  return slots;
}

}  // namespace

tTargetState settleTarget(tBenchView& bench, const tSettingsSection& section,
                          const std::vector<std::uint32_t>& serials) {
  tTargetState state;
  // The slot each entry writes, when it writes one that counts.
  std::vector<std::optional<tPropertySlot>> slots;
  std::map<tSlotKey, std::size_t> lastWrite;  // slot -> plan
  for (const tSettingsEntry& entry : section.entries) {
    state.plans.push_back(planEntryOn(bench, entry.key, entry.value, entry.line));
    const tEntryPlan& plan = state.plans.back();
    slots.emplace_back();
    if (plan.failed()) {
      state.stopEntry = state.plans.size() - 1;
      break;
    }
    if (plan.step == tPlanStep::kReady && plan.deviceIndex != tBenchView::kNone &&
        selected(serials, plan.parsed.serialNumber)) {
      slots.back() = tPropertySlot{plan.deviceIndex, plan.parsed.port, plan.parsed.propertyId};
      lastWrite[keyOf(*slots.back())] = state.plans.size() - 1;
    }
  }
  state.portPass = state.stopEntry == tTargetState::kNone;
  const std::vector<tPropertySlot> passSlots =
      state.portPass ? portPassSlots(bench, serials) : std::vector<tPropertySlot>();
  std::map<tSlotKey, std::size_t> valueAt;  // slot -> value
  for (const tPropertySlot& slot : passSlots) valueAt[keyOf(slot)] = tTargetState::kNone;
  for (std::size_t i = 0; i < slots.size(); ++i) {
    if (!slots[i] || lastWrite[keyOf(*slots[i])] != i || valueAt.count(keyOf(*slots[i]))) continue;
    const tEntryPlan& plan = state.plans[i];
    valueAt[keyOf(*slots[i])] = state.values.size();
    state.values.push_back(
        {*slots[i], tPropertyBytes(plan.bytes, plan.bytes + plan.size), section.entries[i].line});
  }
  for (const tPropertySlot& slot : passSlots) {
    valueAt[keyOf(slot)] = state.values.size();
    state.values.push_back({slot, tPropertyBytes{0}, 0});
  }
  state.valueOf.assign(state.plans.size(), tTargetState::kNone);
  for (std::size_t i = 0; i < slots.size(); ++i) {
    if (slots[i]) state.valueOf[i] = valueAt[keyOf(*slots[i])];
  }
  return state;
}

}  // namespace nTQVLKAET100
