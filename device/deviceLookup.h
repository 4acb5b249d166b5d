// SPDX-License-Identifier: MIT
// The restore mode's work on whole AE devices: finding a device's node by
// serial number, and the closing pass that clears force-link-disable on every
// port of every AE device.
//
// Both run a complete enumeration of the driver's "ae_ae" interfaces per
// call and keep no state. They are boundaries of the status layer: a failure
// is thrown as tqerr::Exception (throwIfFatal) at the step that recorded it.
#ifndef DEVICE_DEVICELOOKUP_H_
#define DEVICE_DEVICELOOKUP_H_

#include <cstdint>
#include <string>

namespace nTQVLKAET100 {

// Device-node path of the first AE interface, in enumeration order, whose
// device's "SerialNum" equals serial; the empty string when none does (not
// an error). Opens nothing.
std::string findInterfacePath(std::uint32_t serial);

// Writes the one-byte value 0 to forcelinkdisable of every port (ascending)
// of every AE device (enumeration order). The device is opened through the
// path found for its serial number. Stops with an exception at the first
// error; a warning from the driver is dropped and the pass continues.
void clearForceLinkDisable();

}  // namespace nTQVLKAET100

#endif  // DEVICE_DEVICELOOKUP_H_
