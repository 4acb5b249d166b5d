// SPDX-License-Identifier: MIT
// The engine of tqvlkaectl apply: bring port properties to target values,
// touching only what differs, proving each value by reading it back, and
// putting back everything it changed when anything goes wrong.
//
// What it promises, for a list of target values (restore's order):
// - snapshot: every property of the list is read before anything is written;
//   a read the driver refuses ends the run there, with nothing written;
// - plan: only the values whose snapshot differs from the target (compared
//   as diff compares: a 1-byte and a 4-byte value by their number);
// - writes in the order of the list, each followed by reads until the value
//   reads back as written or the verify timeout has passed (polled with
//   short sleeps); a refused write, a failed read or a value that never reads
//   back ends the writes;
// - a stop request (a signal's flag) is looked at before each write and
//   while a read-back is polled, never inside a write; it ends the writes;
// - when the writes ended early, every property the run may have changed is
//   written back with its snapshot value, newest first, and read back in the
//   same way; a write that the driver refused and that left the value as it
//   was is not put back. Whatever cannot be put back is listed with its value
//   before and now, and the rollback goes on with the others.
// The properties are reached through iPropertyDevice, so that the engine is
// tested with a fake device; restore/benchDevice.h is the real one.
#ifndef RESTORE_APPLYENGINE_H_
#define RESTORE_APPLYENGINE_H_

#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "restore/failure.h"

namespace nTQVLKAET100 {

using tPropertyBytes = std::vector<unsigned char>;

// One port property of a device (the device's index in the caller's list).
struct tPropertySlot {
  std::size_t device = 0;
  std::uint32_t port = 0;
  std::uint32_t propertyId = 0;
};

// The seam between the engine and the driver. Each call is one whole step: a
// read returns the value (and the failure of any request it took), a write
// sends one value.
class iPropertyDevice {
 public:
  virtual ~iPropertyDevice() = default;
  virtual std::optional<tRestoreFailure> read(const tPropertySlot& slot, tPropertyBytes& value) = 0;
  virtual std::optional<tRestoreFailure> write(const tPropertySlot& slot,
                                               const tPropertyBytes& value) = 0;
};

// Whether a value read holds the value wanted, as diff compares them.
bool sameValue(const tPropertyBytes& read, const tPropertyBytes& wanted);

struct tApplyTarget {
  tPropertySlot slot;
  tPropertyBytes value;
  unsigned long line = 0;  // the settings line whose value it is; 0: the port pass
};

struct tApplySettings {
  std::chrono::milliseconds verifyTimeout{2000};
  std::chrono::milliseconds pollInterval{20};
  // Not zero once a stop was asked for (the signal's number).
  const volatile std::sig_atomic_t* stop = nullptr;
};

// Why the writes ended early.
enum class tApplyStop {
  kNone,
  kSnapshot,     // a snapshot read failed: nothing was written
  kRefused,      // the driver refused a write (failure holds its report)
  kReadFailed,   // a read-back failed (failure holds its report)
  kNotKept,      // the value never read back as written within the timeout
  kInterrupted,  // a stop was asked for (signal holds it)
};

struct tAppliedWrite {
  std::size_t target = 0;   // index in the target list
  tPropertyBytes before;    // the snapshot
  tPropertyBytes readBack;  // the last value read after the write; empty when none
  bool sent = false;        // the driver answered the write
  bool verified = false;    // it read back as written
};

// A property the rollback could not put back.
struct tLeftChanged {
  std::size_t target = 0;
  tPropertyBytes before;
  std::optional<tPropertyBytes> now;  // none when it cannot be read
  // The refusal of the write or of the read; none when the write was
  // answered but the value never read back as written.
  std::optional<tRestoreFailure> why;
};

struct tApplyOutcome {
  std::vector<tPropertyBytes> snapshot;  // per target, as far as it was read
  std::vector<std::size_t> plan;         // the targets that differ, in order
  std::vector<tAppliedWrite> writes;     // in the order they were made
  tApplyStop stop = tApplyStop::kNone;
  // The driver's failure that ended the writes (kSnapshot, kRefused,
  // kReadFailed); none for kNotKept and kInterrupted.
  std::optional<tRestoreFailure> failure;
  std::size_t failedTarget = 0;           // its target, when stop is not kNone
  int signal = 0;                         // for kInterrupted
  std::size_t rolledBack = 0;             // properties written back and verified
  std::vector<tLeftChanged> leftChanged;  // the rollback's failures

  bool succeeded() const { return stop == tApplyStop::kNone; }
};

// Snapshot and plan, no write.
tApplyOutcome planApply(iPropertyDevice& device, const std::vector<tApplyTarget>& targets);

// Snapshot, plan, writes with read-back, rollback on failure.
tApplyOutcome runApply(iPropertyDevice& device, const std::vector<tApplyTarget>& targets,
                       const tApplySettings& settings);

}  // namespace nTQVLKAET100

#endif  // RESTORE_APPLYENGINE_H_
