// SPDX-License-Identifier: MIT
#include "app/listing.h"

#include <cerrno>
#include <ios>
#include <vector>

#include "app/reports.h"
#include "device/aeDevices.h"
#include "error/JsonStatus.h"
#include "tqapal/errors.h"
#include "tqapal/tStatus.h"

namespace nTQVLKAET100 {

using nTQAPAL000::throwIfFatal;
using nTQAPAL000::tStatus;

namespace {

// Standard output refused the lines (a full disk, a closed pipe).
constexpr tqerr::ErrorLocation kSiteOutputFailed = {"app/listing", 41, nTQAPAL000::kComponentTool,
                                                    "err"};

// The lines must have reached the output: a listing that was not written
// has failed, even though every device was read.
void flushOrThrow(std::ostream& out) {
  errno = 0;
  out.flush();
  if (out) return;
  const int failure = errno != 0 ? errno : EIO;
  tStatus status;
  setCode(status, nTQAPAL000::mapErrno(failure), kSiteOutputFailed);
  throwIfFatal(status);
  flushOrThrow(out);
}

}  // namespace

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
  flushOrThrow(out);
}

int runListingMode(std::ostream& out, std::ostream& err) {
  return runReported(err, [&out] { listInterfaces(out); });
}

}  // namespace nTQVLKAET100
