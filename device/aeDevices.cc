// SPDX-License-Identifier: MIT
#include "device/aeDevices.h"

namespace nTQVLKAET100 {

using nTQAPAL000::isFatal;
using nTQAPAL000::tDeviceInterfaceIterator;
using nTQAPAL000::tStatus;

std::uint32_t readDeviceWord(const tDeviceInterfaceIterator& interfaces, const char* name,
                             tStatus& status) {
  std::uint32_t value = 0;
  interfaces.getDeviceProperty(name, &value, sizeof(value), nullptr, status);
  return isFatal(status) ? 0 : value;
}

std::string readInterfaceNode(const tDeviceInterfaceIterator& interfaces, tStatus& status) {
  nTQAPAL000::tFixedPath path;
  path.length = 0;
  interfaces.getInterfacePath(path, status);
  // The length counts the terminator.
  if (isFatal(status) || path.length == 0) return std::string();
  return std::string(path.text, path.length - 1);
}

void listAeDevices(std::vector<tAeDevice>& devices, tStatus& status) {
  if (isFatal(status)) return;
  tDeviceInterfaceIterator interfaces(kAeInterfaceKind, status);
  for (; !isFatal(status) && !interfaces.atEnd(); interfaces.next()) {
    tAeDevice device;
    device.serial = readDeviceWord(interfaces, "SerialNum", status);
    device.portCount = readDeviceWord(interfaces, "NumPorts", status);
    device.pid = readDeviceWord(interfaces, "PID", status);
    device.node = readInterfaceNode(interfaces, status);
    if (!isFatal(status)) devices.push_back(std::move(device));
  }
}

}  // namespace nTQVLKAET100
