#include "app/listing.h"

#include <cstdint>
#include <ios>

#include "app/reports.h"
#include "tqapal/protons/enumeration/linuxU/tDeviceInterfaceIterator.h"
#include "tqapal/tStatus.h"

namespace nTQVLKAET100 {

using nTQAPAL000::tDeviceInterfaceIterator;
using nTQAPAL000::tFixedPath;
using nTQAPAL000::throwIfFatal;
using nTQAPAL000::tStatus;

void listInterfaces(std::ostream& out) {
  tStatus searchStatus;
  tDeviceInterfaceIterator interfaces("ae_ae", searchStatus);
  throwIfFatal(searchStatus);
  while (!interfaces.atEnd()) {
    std::uint32_t serial = 0;
    std::uint32_t ports = 0;
    std::uint32_t pid = 0;
    tFixedPath path;
    {
      tStatus status;
      interfaces.getDeviceProperty("SerialNum", &serial, sizeof(serial), nullptr, status);
      throwIfFatal(status);
    }
    {
      tStatus status;
      interfaces.getDeviceProperty("NumPorts", &ports, sizeof(ports), nullptr, status);
      throwIfFatal(status);
    }
    {
      tStatus status;
      interfaces.getDeviceProperty("PID", &pid, sizeof(pid), nullptr, status);
      throwIfFatal(status);
    }
    {
      tStatus status;
      interfaces.getInterfacePath(path, status);
      throwIfFatal(status);
    }
    out.setf(std::ios_base::hex, std::ios_base::basefield);
    out << serial << " ";
    out.write(path.text, static_cast<std::streamsize>(path.length - 1));
    out << " " << ports << " " << pid << "\n";
    interfaces.next();
  }
}

int runListingMode(std::ostream& out, std::ostream& err) {
  return runReported(err, [&out] { listInterfaces(out); });
}

}  // namespace nTQVLKAET100
