#include "app/listing.h"

#include <ios>
#include <vector>

#include "app/reports.h"
#include "device/aeDevices.h"
#include "tqapal/tStatus.h"

namespace nTQVLKAET100 {

using nTQAPAL000::throwIfFatal;
using nTQAPAL000::tStatus;

void listInterfaces(std::ostream& out) {
  std::vector<tAeDevice> devices;
  tStatus status;
  listAeDevices(devices, status);
  // The lines of the interfaces read before a failure are written first.
  out.setf(std::ios_base::hex, std::ios_base::basefield);
  for (const tAeDevice& device : devices) {
    out << device.serial << " ";
    out.write(device.node.data(), static_cast<std::streamsize>(device.node.size()));
    out << " " << device.portCount << " " << device.pid << "\n";
  }
  throwIfFatal(status);
}

int runListingMode(std::ostream& out, std::ostream& err) {
  return runReported(err, [&out] { listInterfaces(out); });
}

}  // namespace nTQVLKAET100
