// SPDX-License-Identifier: MIT
#include "ctl/show.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "ctl/exitStatus.h"
#include "ctl/jsonDocument.h"
#include "ctl/liveValue.h"
#include "ctl/textTable.h"
#include "device/aeDevices.h"
#include "device/aeProperties.h"
#include "restore/benchView.h"
#include "settings/valueText.h"
#include "tqapal/tStatus.h"

namespace nTQVLKAET100 {

namespace {

struct tShownDevice {
  tAeDevice device;
  std::vector<tLiveValue> values;  // port by port, in table order
  // The node restore sends this serial's entries to when that is another
  // device's (a repeated serial reaches the first listed); empty otherwise.
  std::string restoreReaches;
};

std::string settingKey(const tAeDevice& device, std::uint32_t port, const tAeProperty& property) {
  return settingKeyText(device.serial, port, property.name);
}

void writeText(std::ostream& out, const std::vector<tShownDevice>& shown, bool listed) {
  if (shown.empty()) {
    // Not when the devices could not be listed: that is said instead.
    if (listed) out << "No AE devices.\n";
    return;
  }
  std::vector<tTableRow> devices;
  std::vector<tTableRow> values;
  bool repeated = false;
  for (const tShownDevice& entry : shown) {
    const tAeDevice& device = entry.device;
    devices.push_back({hexText(device.serial), device.node, std::to_string(device.portCount),
                       hexText(device.pid)});
    repeated = repeated || !entry.restoreReaches.empty();
    for (std::size_t i = 0; i < entry.values.size(); ++i) {
      const std::uint32_t port = static_cast<std::uint32_t>(i / kAePropertyCount);
      values.push_back(
          {settingKey(device, port, kAeProperties[i % kAePropertyCount]), entry.values[i].text()});
      if (!entry.restoreReaches.empty()) {
        values.back().push_back("read from " + device.node + "; restore sends this key to " +
                                entry.restoreReaches);
      }
    }
  }
  writeTable(out, {"SERIAL", "NODE", "PORTS", "PID"}, devices);
  if (values.empty()) return;
  out << '\n';
  if (repeated) {
    writeTable(out, {"KEY", "VALUE", "NOTE"}, values);
  } else {
    writeTable(out, {"KEY", "VALUE"}, values);
  }
}

void writeJson(std::ostream& out, const std::vector<tShownDevice>& shown,
               const std::string& trouble) {
  tJson devices = tJson::array();
  for (const tShownDevice& entry : shown) {
    const tAeDevice& device = entry.device;
    tJson item;
    item["serial"] = hexText(device.serial);
    setBytes(item, "node", device.node);
    item["ports"] = device.portCount;
    item["pid"] = hexText(device.pid);
    item["reachedByRestore"] = entry.restoreReaches.empty();
    if (!entry.restoreReaches.empty()) setBytes(item, "restoreReaches", entry.restoreReaches);
    tJson& properties = item["properties"] = tJson::array();
    for (std::size_t i = 0; i < entry.values.size(); ++i) {
      const std::uint32_t port = static_cast<std::uint32_t>(i / kAePropertyCount);
      const tAeProperty& property = kAeProperties[i % kAePropertyCount];
      const tLiveValue& live = entry.values[i];
      tJson value;
      value["port"] = port;
      value["property"] = property.name;
      value["key"] = settingKey(device, port, property);
      if (live.read) {
        value["size"] = live.value.size;
        value["value"] = live.value.text;
        value["number"] = live.value.number;
        if (!live.value.unstorable.empty()) value["unstorable"] = live.value.unstorable;
      } else {
        value["error"] = {{"code", live.code}, {"report", live.report}};
      }
      properties.push_back(std::move(value));
    }
    devices.push_back(std::move(item));
  }
  tJson document = {{"devices", std::move(devices)}};
  if (!trouble.empty()) setBytes(document, "error", trouble);
  writeJsonDocument(out, document);
}

}  // namespace

int runShow(const tShowOptions& options, std::ostream& out) {
  tBenchView bench;
  std::vector<tShownDevice> shown;
  bool refused = false;
  for (std::size_t i = 0; i < bench.devices().size(); ++i) {
    if (!options.serials.empty() && std::find(options.serials.begin(), options.serials.end(),
                                              bench.devices()[i].serial) == options.serials.end()) {
      continue;
    }
    // Not read at all: the trouble below says why.
    if (bench.devices()[i].portCount > tBenchView::kMaxPortCount) continue;
    const std::size_t reached = bench.reach(bench.devices()[i].serial);
    shown.push_back({bench.devices()[i], readDeviceValues(bench, i),
                     reached != i ? bench.devices()[reached].node : std::string()});
    for (const tLiveValue& value : shown.back().values) refused = refused || !value.read;
  }
  const std::string trouble = bench.trouble();
  if (options.json) {
    writeJson(out, shown, trouble);
  } else {
    writeText(out, shown, trouble.empty());
  }
  if (!trouble.empty()) throw tCtlTrouble(trouble);
  return refused ? kCtlFound : kCtlClean;
}

}  // namespace nTQVLKAET100
