// SPDX-License-Identifier: MIT
// One live read of a port property on an open AE device, kept as a value or
// as the driver's refusal: what show and diff print for a port, and what
// store captures.
#ifndef CTL_LIVEVALUE_H_
#define CTL_LIVEVALUE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "ctl/propertyText.h"
#include "device/aeDevices.h"
#include "device/iInterfaceProxy_ae.h"

namespace nTQVLKAET100 {

struct tLiveValue {
  bool read = false;
  tPropertyValue value;   // when read
  std::int32_t code = 0;  // the refusal's code, when not read
  std::string report;     // the refusal as a report line, when not read

  // The value's text, or "refused (<code>)".
  std::string text() const;
};

// Size query, then getProperty with a receive buffer of that size.
tLiveValue readLiveValue(iInterfaceProxy_ae& device, std::uint32_t port, std::uint32_t propertyId);

// A device that could not be opened: every read refused with that failure.
tLiveValue refusedValue(const std::exception_ptr& failure);

// Every port property of the table (device/aeProperties.h) on every port of
// the device, port by port in table order; a device that cannot be opened
// gives a refusal for each.
std::vector<tLiveValue> readDeviceValues(const tAeDevice& device);

}  // namespace nTQVLKAET100

#endif  // CTL_LIVEVALUE_H_
