// SPDX-License-Identifier: MIT
#include "device/deviceLookup.h"

#include "device/aeDevices.h"
#include "device/aeProperties.h"
#include "device/propertyAccess.h"
#include "device/tInterfaceProxy_ae.h"
#include "tqapal/protons/enumeration/linuxU/tDeviceInterfaceIterator.h"
#include "tqapal/tStatus.h"

namespace nTQVLKAET100 {

using nTQAPAL000::tDeviceInterfaceIterator;
using nTQAPAL000::throwIfFatal;
using nTQAPAL000::throwingStep;
using nTQAPAL000::tStatus;

namespace {

std::uint32_t readWord(const tDeviceInterfaceIterator& interfaces, const char* name) {
  return throwingStep([&](tStatus& status) { return readDeviceWord(interfaces, name, status); });
}

}  // namespace

std::string findInterfacePath(std::uint32_t serial) {
  tStatus status;
  tDeviceInterfaceIterator interfaces(kAeInterfaceKind, status);
  throwIfFatal(status);
  for (; !interfaces.atEnd(); interfaces.next()) {
    if (readWord(interfaces, "SerialNum") != serial) continue;
    return throwingStep(
        [&](tStatus& pathStatus) { return readInterfaceNode(interfaces, pathStatus); });
  }
  return std::string();
}

void clearForceLinkDisable() {
  tStatus status;
  tDeviceInterfaceIterator interfaces(kAeInterfaceKind, status);
  throwIfFatal(status);
  for (; !interfaces.atEnd(); interfaces.next()) {
    const std::uint32_t serial = readWord(interfaces, "SerialNum");
    const std::uint32_t portCount = readWord(interfaces, "NumPorts");
    // Open through the path registered for the serial number: two interfaces
    // reporting one serial are both served through the first.
    const std::string path = findInterfacePath(serial);
    tInterfaceProxy_ae proxy;
    throwingStep([&](tStatus& openStatus) { proxy.open(path, openStatus); });
    for (std::uint32_t port = 0; port < portCount; ++port) {
      const unsigned char value = 0;
      // A warning goes no further than this step's status.
      throwingStep([&](tStatus& portStatus) {
        writePropertyValue(proxy, port, kPropertyForceLinkDisable, &value, sizeof(value),
                           portStatus);
      });
    }
  }
}

}  // namespace nTQVLKAET100
