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
};

std::string settingKey(const tAeDevice& device, std::uint32_t port, const tAeProperty& property) {
  return settingKeyText(device.serial, port, property.name);
}

void writeText(std::ostream& out, const std::vector<tShownDevice>& shown) {
  if (shown.empty()) {
    out << "No AE devices.\n";
    return;
  }
  std::vector<tTableRow> devices;
  std::vector<tTableRow> values;
  for (const tShownDevice& entry : shown) {
    const tAeDevice& device = entry.device;
    devices.push_back({hexText(device.serial), device.node, std::to_string(device.portCount),
                       hexText(device.pid)});
    for (std::size_t i = 0; i < entry.values.size(); ++i) {
      const std::uint32_t port = static_cast<std::uint32_t>(i / kAePropertyCount);
      values.push_back(
          {settingKey(device, port, kAeProperties[i % kAePropertyCount]), entry.values[i].text()});
    }
  }
  writeTable(out, {"SERIAL", "NODE", "PORTS", "PID"}, devices);
  if (values.empty()) return;
  out << '\n';
  writeTable(out, {"KEY", "VALUE"}, values);
}

void writeJson(std::ostream& out, const std::vector<tShownDevice>& shown) {
  tJson devices = tJson::array();
  for (const tShownDevice& entry : shown) {
    const tAeDevice& device = entry.device;
    tJson item;
    item["serial"] = hexText(device.serial);
    setBytes(item, "node", device.node);
    item["ports"] = device.portCount;
    item["pid"] = hexText(device.pid);
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
  writeJsonDocument(out, {{"devices", std::move(devices)}});
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
    shown.push_back({bench.devices()[i], readDeviceValues(bench, i)});
    for (const tLiveValue& value : shown.back().values) refused = refused || !value.read;
  }
  if (options.json) {
    writeJson(out, shown);
  } else {
    writeText(out, shown);
  }
  if (bench.listFailure()) throw tCtlTrouble(bench.listFailure()->report);
  return refused ? kCtlFound : kCtlClean;
}

}  // namespace nTQVLKAET100
