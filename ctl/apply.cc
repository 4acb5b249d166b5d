// SPDX-License-Identifier: MIT
#include "ctl/apply.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "ctl/applyReport.h"
#include "ctl/check.h"
#include "ctl/exitStatus.h"
#include "ctl/propertyText.h"
#include "ctl/runLock.h"
#include "ctl/settingsSource.h"
#include "ctl/stopSignals.h"
#include "ctl/terminalText.h"
#include "restore/benchDevice.h"
#include "restore/benchView.h"
#include "restore/targetState.h"

namespace nTQVLKAET100 {

namespace {

class tApply {
 public:
  tApply(const tApplyOptions& options, std::ostream& out, std::ostream& err)
      : options_(options), out_(out), err_(err) {}

  int run() {
    std::unique_ptr<tRunLock> lock;
    if (!options_.check) lock = std::make_unique<tRunLock>(options_.wait, err_);
    const tSettingsSource source = readSettingsSource(options_.file, err_);
    // One view of the bench for check and the target: the devices are
    // listed once, each opened once, each size asked once, and the plan
    // stands on what check judged.
    tBenchView bench;
    if (refusedByCheck(source, bench)) return kCtlTrouble;
    // Devices that cannot be listed, or no driver at all, are trouble, as
    // for diff: "nothing to change" would claim a bench that is not there.
    if (!bench.trouble().empty()) throw tCtlTrouble(bench.trouble());
    requireSerials(bench);
    const tSettingsSection none{0, "", {}};
    const tSettingsSection* section = portSettings(source.lines);
    const tTargetState target = settleTarget(bench, section ? *section : none, options_.serials);
    if (target.stopEntry != tTargetState::kNone) {
      // check --live found no error, yet restore would stop: the two
      // disagree, and nothing is written on such a plan.
      throw tCtlTrouble(
          source.path + ":" + std::to_string(target.plans[target.stopEntry].failure->line) +
          ": restore would stop here: " + target.plans[target.stopEntry].failure->report +
          "; nothing written");
    }
    tApplyReport report(source.path, bench, target.values, options_.verifyTimeout);
    tBenchDevice device(bench);
    if (options_.check) {
      const tApplyOutcome outcome = planApply(device, target.values);
      return report.writePlan(outcome, options_.json, out_);
    }
    const tStopSignals signals;
    tSignalSafeDevice safeDevice(device);
    tApplySettings settings;
    settings.verifyTimeout = options_.verifyTimeout;
    settings.stop = signals.flag();
    const tApplyOutcome outcome = runApply(safeDevice, target.values, settings);
    return report.writeRun(outcome, options_.json, out_);
  }

 private:
  // The errors check --live finds refuse the run; check's findings are
  // shown as check shows them.
  bool refusedByCheck(const tSettingsSource& source, tBenchView& bench) {
    std::ostringstream findings;
    if (runCheck({source.path, true, options_.json}, source, findings, &bench) == kCtlClean) {
      return false;
    }
    const std::string summary =
        terminalText(source.path) +
        ": apply refuses a file in which check finds errors; nothing written";
    if (options_.json) {
      writeApplyRefusal(source.path, findings.str(), summary, out_);
    } else {
      out_ << findings.str() << summary << '\n';
    }
    return true;
  }

  void requireSerials(const tBenchView& bench) const {
    for (const std::uint32_t serial : options_.serials) {
      if (bench.reach(serial) == tBenchView::kNone) {
        throw tCtlTrouble("no AE device has serial " + hexText(serial) + "; nothing written");
      }
    }
  }

  const tApplyOptions& options_;
  std::ostream& out_;
  std::ostream& err_;
};

}  // namespace

int runApply(const tApplyOptions& options, std::ostream& out, std::ostream& err) {
  return tApply(options, out, err).run();
}

}  // namespace nTQVLKAET100
