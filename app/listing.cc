#include "app/listing.h"

#include <cerrno>
#include <ios>
#include <vector>

#include "device/aeDevices.h"
#include "error/JsonStatus.h"
#include "restore/reports.h"
#include "tqapal/errors.h"
#include "tqapal/tStatus.h"

namespace nTQVLKAET100 {

using nTQAPAL000::throwIfFatal;
using nTQAPAL000::tStatus;

namespace {

// Standard output refused the lines (a full disk, a closed pipe). Like the
// other sites of the tool, 41 names the site in the report line that users
// and scripts have seen since the listing first reported it; it is not the
// line of this file that finds the failure.
constexpr tqerr::ErrorLocation kSiteOutputFailed = {"app/listing", 41, nTQAPAL000::kComponentTool,
                                                    "err"};

// The lines must have reached the output: a listing that was not written
// has failed, even though every device was read. A stream that failed stays
// failed, so there is one attempt; while another exception is in flight,
// throwIfFatal leaves the failure unthrown and the listing ends here.
void flushOrThrow(std::ostream& out) {
  errno = 0;
  out.flush();
  if (out) return;
  const int failure = errno != 0 ? errno : EIO;
  tStatus status;
  setCode(status, nTQAPAL000::mapErrno(failure), kSiteOutputFailed);
  throwIfFatal(status);
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
