// One live read of a port property on an AE device of the bench view
// (restore/benchView.h), kept as a value or as the driver's refusal: what
// show and diff print for a port, and what store captures. The size of a
// property is asked once per port and run; the read follows it.
#ifndef CTL_LIVEVALUE_H_
#define CTL_LIVEVALUE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ctl/propertyText.h"
#include "restore/benchView.h"
#include "restore/failure.h"

namespace nTQVLKAET100 {

struct tLiveValue {
  bool read = false;
  tPropertyValue value;   // when read
  std::int32_t code = 0;  // the refusal's code, when not read
  std::string report;     // the refusal as a report line, when not read

  // The value's text, or "refused (<code>)".
  std::string text() const;
};

// A read that failed (or a device that could not be opened) with failure.
tLiveValue refusedValue(const tRestoreFailure& failure);

// The property's value on the port of the view's device at index.
tLiveValue readLiveValue(tBenchView& bench, std::size_t index, std::uint32_t port,
                         std::uint32_t propertyId);

// Every port property of the table (device/aeProperties.h) on every port of
// the view's device at index, port by port in table order; a device that
// cannot be opened gives a refusal for each.
std::vector<tLiveValue> readDeviceValues(tBenchView& bench, std::size_t index);

}  // namespace nTQVLKAET100

#endif  // CTL_LIVEVALUE_H_
