// SPDX-License-Identifier: MIT
// SIGINT, SIGTERM and SIGHUP while apply writes: they must neither cut a
// write in two nor end the run before what was written is put back.
//
// tStopSignals, while it lives, catches the three signals with a handler
// that only records the signal's number (flag(), for restore/applyEngine.h
// to look at between writes); it puts the earlier dispositions back when it
// ends. tSignalSafeDevice passes reads and writes to another device and
// holds the three signals blocked for the length of each write, so that one
// arriving then is delivered after it.
#ifndef CTL_STOPSIGNALS_H_
#define CTL_STOPSIGNALS_H_

#include <signal.h>

#include <csignal>

#include "restore/applyEngine.h"

namespace nTQVLKAET100 {

class tStopSignals {
 public:
  tStopSignals();
  ~tStopSignals();
  tStopSignals(const tStopSignals&) = delete;
  tStopSignals& operator=(const tStopSignals&) = delete;

  const volatile std::sig_atomic_t* flag() const;

 private:
  struct sigaction earlier_[3];
};

class tSignalSafeDevice : public iPropertyDevice {
 public:
  explicit tSignalSafeDevice(iPropertyDevice& device) : device_(device) {}

  std::optional<tRestoreFailure> read(const tPropertySlot& slot, tPropertyBytes& value) override {
    return device_.read(slot, value);
  }
  std::optional<tRestoreFailure> write(const tPropertySlot& slot,
                                       const tPropertyBytes& value) override;

 private:
  iPropertyDevice& device_;
};

// The signal's name ("SIGTERM"), or its number as text.
const char* stopSignalName(int signal);

}  // namespace nTQVLKAET100

#endif  // CTL_STOPSIGNALS_H_
