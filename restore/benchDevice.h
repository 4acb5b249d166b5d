// SPDX-License-Identifier: MIT
// The driver behind apply's engine (restore/applyEngine.h): the port
// properties of the devices of a bench view (restore/benchView.h), each
// device opened once. A read uses the size the view queried once for the
// port and property and reads the value through a buffer of that size; a
// write sends the value at its own size, as restore's writes do. Every
// failure comes back as a value, never thrown (but std::bad_alloc).
#ifndef RESTORE_BENCHDEVICE_H_
#define RESTORE_BENCHDEVICE_H_

#include <optional>

#include "restore/applyEngine.h"
#include "restore/benchView.h"

namespace nTQVLKAET100 {

class tBenchDevice : public iPropertyDevice {
 public:
  explicit tBenchDevice(tBenchView& bench) : bench_(bench) {}

  std::optional<tRestoreFailure> read(const tPropertySlot& slot, tPropertyBytes& value) override;
  std::optional<tRestoreFailure> write(const tPropertySlot& slot,
                                       const tPropertyBytes& value) override;

 private:
  tBenchView& bench_;
};

}  // namespace nTQVLKAET100

#endif  // RESTORE_BENCHDEVICE_H_
