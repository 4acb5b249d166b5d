#include "device/deviceLookup.h"

#include "device/tInterfaceProxy_ae.h"
#include "tqapal/protons/enumeration/linuxU/tDeviceInterfaceIterator.h"
#include "tqapal/tCompactStatus.h"
#include "tqapal/tStatus.h"

namespace nTQVLKAET100 {

using nTQAPAL000::tDeviceInterfaceIterator;
using nTQAPAL000::throwIfFatal;
using nTQAPAL000::tStatus;

namespace {

// Reads a 4-byte device property of the current interface; throws when it
// cannot be read.
std::uint32_t readU32Property(const tDeviceInterfaceIterator& interfaces, const char* name) {
  std::uint32_t value = 0;
  tStatus status;
  interfaces.getDeviceProperty(name, &value, sizeof(value), nullptr, status);
  throwIfFatal(status);
  return value;
}

}  // namespace

std::string findInterfacePath(std::uint32_t serial) {
  tStatus status;
  tDeviceInterfaceIterator interfaces(kAeInterfaceKind, status);
  throwIfFatal(status);
  for (; !interfaces.atEnd(); interfaces.next()) {
    if (readU32Property(interfaces, "SerialNum") != serial) continue;
    tStatus pathStatus;
    nTQAPAL000::tFixedPath path;
    path.length = 0;
    interfaces.getInterfacePath(path, pathStatus);
    throwIfFatal(pathStatus);
    // The length counts the terminator.
    return path.length == 0 ? std::string() : std::string(path.text, path.length - 1);
  }
  return std::string();
}

void clearForceLinkDisable() {
  tStatus status;
  tDeviceInterfaceIterator interfaces(kAeInterfaceKind, status);
  throwIfFatal(status);
  for (; !interfaces.atEnd(); interfaces.next()) {
    const std::uint32_t serial = readU32Property(interfaces, "SerialNum");
    const std::uint32_t portCount = readU32Property(interfaces, "NumPorts");
    // Open through the path registered for the serial number: two interfaces
    // reporting one serial are both served through the first.
    const std::string path = findInterfacePath(serial);
    tInterfaceProxy_ae proxy;
    tStatus openStatus;
    proxy.open(path, openStatus);
    throwIfFatal(openStatus);
    for (std::uint32_t port = 0; port < portCount; ++port) {
      const unsigned char value = 0;
      tStatus portStatus;
      nTQAPAL000::tCompactStatusAdaptor adaptor(portStatus);
      proxy.setProperty(port, kAllSelectors, kPropertyForceLinkDisable, &value, sizeof(value),
                        adaptor.block());
      adaptor.mergeBack();
      // A warning goes no further than this status.
      throwIfFatal(portStatus);
    }
  }
}

}  // namespace nTQVLKAET100
