// SPDX-License-Identifier: MIT
#include "restore/applyEngine.h"

#include <algorithm>
#include <thread>

#include "settings/valueText.h"

namespace nTQVLKAET100 {

namespace {

using tClock = std::chrono::steady_clock;

std::optional<std::uint32_t> numberOf(const tPropertyBytes& value) {
  return valueNumber(value.data(), static_cast<std::uint32_t>(value.size()));
}

class tApplyRun {
 public:
  tApplyRun(iPropertyDevice& device, const std::vector<tApplyTarget>& targets,
            const tApplySettings& settings)
      : device_(device), targets_(targets), settings_(settings) {}

  bool snapshotAndPlan() {
    for (std::size_t i = 0; i < targets_.size(); ++i) {
      tPropertyBytes value;
      if (auto failure = device_.read(targets_[i].slot, value)) {
        end(tApplyStop::kSnapshot, i, std::move(failure));
        return false;
      }
      if (!sameValue(value, targets_[i].value)) outcome_.plan.push_back(i);
      outcome_.snapshot.push_back(std::move(value));
    }
    return true;
  }

  void writeAll() {
    for (const std::size_t target : outcome_.plan) {
      if (stopAsked()) {
        interrupted(target);
        break;
      }
      if (!writeOne(target)) break;
    }
    if (!outcome_.succeeded()) rollBack();
  }

  tApplyOutcome take() { return std::move(outcome_); }

 private:
  bool stopAsked() const { return settings_.stop != nullptr && *settings_.stop != 0; }

  void interrupted(std::size_t target) {
    end(tApplyStop::kInterrupted, target, std::nullopt);
    outcome_.signal = static_cast<int>(*settings_.stop);
  }

  void end(tApplyStop stop, std::size_t target, std::optional<tRestoreFailure> failure) {
    outcome_.stop = stop;
    outcome_.failedTarget = target;
    outcome_.failure = std::move(failure);
    if (outcome_.failure) outcome_.failure->line = targets_[target].line;
  }

  bool writeOne(std::size_t target) {
    tAppliedWrite write;
    write.target = target;
    write.before = outcome_.snapshot[target];
    const tPropertySlot& slot = targets_[target].slot;
    if (auto refusal = device_.write(slot, targets_[target].value)) {
      end(tApplyStop::kRefused, target, std::move(refusal));
      // A refused write may still have changed the value: only one that
      // reads back as before is left alone.
      tPropertyBytes now;
      if (device_.read(slot, now) || now != write.before) {
        write.readBack = std::move(now);
        outcome_.writes.push_back(std::move(write));
      }
      return false;
    }
    write.sent = true;
    std::optional<tRestoreFailure> readFailure;
    write.verified = readBack(slot, targets_[target].value, true, write.readBack, readFailure);
    outcome_.writes.push_back(write);
    if (write.verified) return true;
    if (readFailure) {
      end(tApplyStop::kReadFailed, target, std::move(readFailure));
    } else if (stopAsked()) {
      interrupted(target);
    } else {
      end(tApplyStop::kNotKept, target, std::nullopt);
    }
    return false;
  }

  // Reads until the value is wanted or the timeout has passed (or, when
  // stoppable, a stop is asked for); false with readFailure set when a read
  // fails.
  bool readBack(const tPropertySlot& slot, const tPropertyBytes& wanted, bool stoppable,
                tPropertyBytes& value, std::optional<tRestoreFailure>& readFailure) {
    const tClock::time_point deadline = tClock::now() + settings_.verifyTimeout;
    for (;;) {
      value.clear();
      readFailure = device_.read(slot, value);
      if (readFailure) return false;
      if (sameValue(value, wanted)) return true;
      const tClock::time_point now = tClock::now();
      if (now >= deadline || (stoppable && stopAsked())) return false;
      std::this_thread::sleep_for(
          std::min<tClock::duration>(settings_.pollInterval, deadline - now));
    }
  }

  // Newest first; a signal no longer stops anything here.
  void rollBack() {
    for (auto write = outcome_.writes.rbegin(); write != outcome_.writes.rend(); ++write) {
      const tPropertySlot& slot = targets_[write->target].slot;
      tLeftChanged left{write->target, write->before, std::nullopt, std::nullopt};
      left.why = device_.write(slot, write->before);
      tPropertyBytes now;
      if (!left.why) {
        std::optional<tRestoreFailure> readFailure;
        if (readBack(slot, write->before, false, now, readFailure)) {
          ++outcome_.rolledBack;
          continue;
        }
        left.why = std::move(readFailure);
        if (!left.why) left.now = std::move(now);
      } else if (!device_.read(slot, now)) {
        left.now = std::move(now);
      }
      outcome_.leftChanged.push_back(std::move(left));
    }
  }

  iPropertyDevice& device_;
  const std::vector<tApplyTarget>& targets_;
  const tApplySettings& settings_;
  tApplyOutcome outcome_;
};

}  // namespace

bool sameValue(const tPropertyBytes& read, const tPropertyBytes& wanted) {
  const std::optional<std::uint32_t> readNumber = numberOf(read);
  const std::optional<std::uint32_t> wantedNumber = numberOf(wanted);
  if (readNumber && wantedNumber) return *readNumber == *wantedNumber;
  return read == wanted;
}

tApplyOutcome planApply(iPropertyDevice& device, const std::vector<tApplyTarget>& targets) {
  const tApplySettings settings;
  tApplyRun run(device, targets, settings);
  run.snapshotAndPlan();
  return run.take();
}

tApplyOutcome runApply(iPropertyDevice& device, const std::vector<tApplyTarget>& targets,
                       const tApplySettings& settings) {
  tApplyRun run(device, targets, settings);
  if (run.snapshotAndPlan()) run.writeAll();
  return run.take();
}

}  // namespace nTQVLKAET100
