// The bench as a read-only pass sees it: what restore asks the driver again
// for every entry, asked once per run. The AE devices are listed once (one
// search of the driver's interfaces), each device is opened at most once,
// and each property's size is queried at most once per port; a failure is
// kept and given again to every later ask, as restore would meet it again.
//
// A serial reaches the first device listed with it, as restore's lookup
// finds it, so that a repeated serial reaches the same device in restore
// and in every read-only verdict. When the listing fails, restore's own
// per-entry lookup is the only faithful answer: planEntryOn then plans as
// restore does (restore/entryPlan.h).
#ifndef RESTORE_BENCHVIEW_H_
#define RESTORE_BENCHVIEW_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "device/aeDevices.h"
#include "device/tInterfaceProxy_ae.h"
#include "restore/entryPlan.h"
#include "restore/failure.h"

namespace nTQVLKAET100 {

class tBenchView {
 public:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  // Lists the devices: the one search of the run.
  tBenchView();
  tBenchView(const tBenchView&) = delete;
  tBenchView& operator=(const tBenchView&) = delete;

  // The listing's failure; the devices listed before it are kept.
  const std::optional<tRestoreFailure>& listFailure() const { return listFailure_; }
  const std::vector<tAeDevice>& devices() const { return devices_; }

  // The index of the device that restore reaches for serial; kNone when no
  // listed device has it.
  std::size_t reach(std::uint32_t serial) const;

  // The device at index, opened on the first ask; null with failure set when
  // the open fails.
  iInterfaceProxy_ae* open(std::size_t index, std::optional<tRestoreFailure>& failure);

  // The property's size on the port of the device at index, queried on the
  // first ask; failure set when the open or the query fails.
  std::uint32_t size(std::size_t index, std::uint32_t port, std::uint32_t propertyId,
                     std::optional<tRestoreFailure>& failure);

 private:
  struct tOpened {
    std::unique_ptr<tInterfaceProxy_ae> proxy;
    std::optional<tRestoreFailure> failure;
  };
  struct tSize {
    std::uint32_t size = 0;
    std::optional<tRestoreFailure> failure;
  };

  std::vector<tAeDevice> devices_;
  std::optional<tRestoreFailure> listFailure_;
  std::map<std::size_t, tOpened> opened_;
  std::map<std::tuple<std::size_t, std::uint32_t, std::uint32_t>, tSize> sizes_;
};

// planEntry's steps in its order, asked of the bench view; the plan holds no
// device (plan.deviceIndex names it in the view).
tEntryPlan planEntryOn(tBenchView& bench, const std::string& key, const std::string& rawValue,
                       unsigned long line);

}  // namespace nTQVLKAET100

#endif  // RESTORE_BENCHVIEW_H_
