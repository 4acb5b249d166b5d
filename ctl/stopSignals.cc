// SPDX-License-Identifier: MIT
#include "ctl/stopSignals.h"

namespace nTQVLKAET100 {

namespace {

constexpr int kStopSignals[3] = {SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t stopAsked = 0;

extern "C" void recordStop(int signal) {
  stopAsked = signal;
}

sigset_t stopSet() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : kStopSignals) sigaddset(&set, signal);
  return set;
}

// Blocks the stop signals while it lives.
class tSignalsHeld {
 public:
  tSignalsHeld() {
    const sigset_t set = stopSet();
    pthread_sigmask(SIG_BLOCK, &set, &earlier_);
  }
  ~tSignalsHeld() { pthread_sigmask(SIG_SETMASK, &earlier_, nullptr); }
  tSignalsHeld(const tSignalsHeld&) = delete;
  tSignalsHeld& operator=(const tSignalsHeld&) = delete;

 private:
  sigset_t earlier_;
};

}  // namespace

tStopSignals::tStopSignals() {
  stopAsked = 0;
  struct sigaction action = {};
  action.sa_handler = recordStop;
  action.sa_mask = stopSet();
  for (int i = 0; i < 3; ++i) sigaction(kStopSignals[i], &action, &earlier_[i]);
}

tStopSignals::~tStopSignals() {
  for (int i = 0; i < 3; ++i) sigaction(kStopSignals[i], &earlier_[i], nullptr);
}

const volatile std::sig_atomic_t* tStopSignals::flag() const {
  return &stopAsked;
}

std::optional<tRestoreFailure> tSignalSafeDevice::write(const tPropertySlot& slot,
                                                        const tPropertyBytes& value) {
  const tSignalsHeld held;
  return device_.write(slot, value);
}

const char* stopSignalName(int signal) {
  switch (signal) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
  }
  return "a signal";
}

}  // namespace nTQVLKAET100
