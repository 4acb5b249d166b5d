// SPDX-License-Identifier: MIT
#include "ctl/show.h"

#include <string>
#include <vector>

#include "ctl/exitStatus.h"
#include "ctl/jsonWriter.h"
#include "ctl/liveValue.h"
#include "ctl/textTable.h"
#include "device/aeDevices.h"
#include "device/aeProperties.h"
#include "tqapal/tStatus.h"

namespace nTQVLKAET100 {

namespace {

struct tShownDevice {
  tAeDevice device;
  std::vector<tLiveValue> values;  // port by port, in table order
};

std::string settingKey(const tAeDevice& device, std::uint32_t port, const tAeProperty& property) {
  return hexText(device.serial) + "_" + std::to_string(port) + "_" + property.name;
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
  tJsonWriter json(out);
  json.beginObject();
  json.key("devices").beginArray();
  for (const tShownDevice& entry : shown) {
    const tAeDevice& device = entry.device;
    json.beginObject();
    json.key("serial").string(hexText(device.serial));
    json.key("node").string(device.node);
    json.key("ports").number(device.portCount);
    json.key("pid").string(hexText(device.pid));
    json.key("properties").beginArray();
    for (std::size_t i = 0; i < entry.values.size(); ++i) {
      const std::uint32_t port = static_cast<std::uint32_t>(i / kAePropertyCount);
      const tAeProperty& property = kAeProperties[i % kAePropertyCount];
      const tLiveValue& live = entry.values[i];
      json.beginObject();
      json.key("port").number(port);
      json.key("property").string(property.name);
      json.key("key").string(settingKey(device, port, property));
      if (live.read) {
        json.key("size").number(live.value.size);
        json.key("value").string(live.value.text);
        json.key("number").number(static_cast<std::int64_t>(live.value.number));
      } else {
        json.key("error").beginObject();
        json.key("code").number(live.code);
        json.key("report").string(live.report);
        json.endObject();
      }
      json.endObject();
    }
    json.endArray();
    json.endObject();
  }
  json.endArray();
  json.endObject();
  json.finish();
}

}  // namespace

int runShow(const tShowOptions& options, std::ostream& out) {
  std::vector<tAeDevice> devices;
  nTQAPAL000::tStatus status;
  listAeDevices(devices, status);
  std::vector<tShownDevice> shown;
  bool refused = false;
  for (const tAeDevice& device : devices) {
    shown.push_back({device, readDeviceValues(device)});
    for (const tLiveValue& value : shown.back().values) refused = refused || !value.read;
  }
  if (options.json) {
    writeJson(out, shown);
  } else {
    writeText(out, shown);
  }
  nTQAPAL000::throwIfFatal(status);
  return refused ? kCtlFound : kCtlClean;
}

}  // namespace nTQVLKAET100
