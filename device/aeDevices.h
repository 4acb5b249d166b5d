// SPDX-License-Identifier: MIT
// The AE device interfaces that the kernel driver presents, as records: one
// per "ae_ae" interface, in enumeration order (byte order of the interface
// paths), each with its device's serial number, port count and PID and the
// interface's device-node path. The listing prints exactly these records; a
// program that works on every device starts from them.
//
// listAeDevices is a status-layer operation: it throws nothing but
// std::bad_alloc, and a failed read ends the walk with the failure in the
// caller's status, keeping the records read before it. The reads of one
// interface come in a fixed order (SerialNum, NumPorts, PID, then the path),
// so that the first failure is always the same one.
#ifndef DEVICE_AEDEVICES_H_
#define DEVICE_AEDEVICES_H_

#include <cstdint>
#include <string>
#include <vector>

#include "tqapal/protons/enumeration/linuxU/tDeviceInterfaceIterator.h"
#include "tqapal/tStatus.h"

namespace nTQVLKAET100 {

// Interface kind of the automotive-Ethernet interfaces.
inline constexpr const char* kAeInterfaceKind = "ae_ae";

struct tAeDevice {
  std::uint32_t serial = 0;
  std::string node;  // the interface path text as the driver publishes it
  std::uint32_t portCount = 0;
  std::uint32_t pid = 0;
};

// Appends a record for every AE interface to devices; does nothing when
// status already holds an error.
void listAeDevices(std::vector<tAeDevice>& devices, nTQAPAL000::tStatus& status);

// Reads a 4-byte device property ("SerialNum", "NumPorts", "PID") of the
// iterator's current interface; 0 when status holds an error.
std::uint32_t readDeviceWord(const nTQAPAL000::tDeviceInterfaceIterator& interfaces,
                             const char* name, nTQAPAL000::tStatus& status);

// The node path of the iterator's current interface.
std::string readInterfaceNode(const nTQAPAL000::tDeviceInterfaceIterator& interfaces,
                              nTQAPAL000::tStatus& status);

}  // namespace nTQVLKAET100

#endif  // DEVICE_AEDEVICES_H_
