#include "ctl/show.h"

#include <algorithm>
#include <string>
#include <vector>

#include "ctl/exitStatus.h"
#include "ctl/jsonWriter.h"
#include "ctl/liveValue.h"
#include "ctl/textTable.h"
#include "device/aeDevices.h"
#include "device/aeProperties.h"
#include "restore/benchView.h"

namespace nTQVLKAET100 {

namespace {

struct tShownDevice {
  tAeDevice device;
  std::vector<tLiveValue> values;  // port by port, in table order
};

std::string settingKey(const tAeDevice& device, std::uint32_t port, const tAeProperty& property) {
  return hexText(device.serial) + "_" + std::to_string(port) + "_" + property.name;
}

void writeText(std::ostream& out, const std::vector<tShownDevice>& shown, bool listed) {
  if (shown.empty()) {
    // Not when the devices could not be listed: that is said instead.
    if (listed) out << "No AE devices.\n";
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

void writeJson(std::ostream& out, const std::vector<tShownDevice>& shown,
               const std::string& trouble) {
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
  if (!trouble.empty()) json.key("error").string(trouble);
  json.endObject();
  json.finish();
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
    shown.push_back({bench.devices()[i], readDeviceValues(bench, i)});
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
