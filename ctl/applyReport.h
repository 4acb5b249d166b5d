// SPDX-License-Identifier: MIT
// What tqvlkaectl apply says about a run of its engine
// (restore/applyEngine.h), as text or as one JSON document
// (ctl/schemas/apply.schema.json), and the exit status that goes with it.
//
// Text: one line a write, "FILE:LINE: KEY: BEFORE -> AFTER, verified" (the
// port pass's writes name no line but "port pass"), then, when the run
// failed, why it stopped and one line for each value put back or left
// changed, and a summary line. With --check the writes that would be made,
// one a line, and a summary.
#ifndef CTL_APPLYREPORT_H_
#define CTL_APPLYREPORT_H_

#include <chrono>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "restore/applyEngine.h"
#include "restore/benchView.h"

namespace nTQVLKAET100 {

class tApplyReport {
 public:
  tApplyReport(std::string path, const tBenchView& bench, const std::vector<tApplyTarget>& targets,
               std::chrono::milliseconds verifyTimeout)
      : path_(std::move(path)), bench_(bench), targets_(targets), timeout_(verifyTimeout) {}

  // --check: the plan; returns kCtlClean (nothing to change), kCtlFound
  // (changes needed) or kCtlTrouble (a snapshot read failed).
  int writePlan(const tApplyOutcome& outcome, bool json, std::ostream& out) const;

  // A run; returns kCtlClean, kCtlFound (failed, every change put back),
  // kCtlTrouble (a snapshot read failed: nothing written) or
  // kCtlRollbackFailed.
  int writeRun(const tApplyOutcome& outcome, bool json, std::ostream& out) const;

 private:
  std::string key(std::size_t target) const;
  std::string where(std::size_t target) const;  // "FILE:LINE" or "port pass"
  std::string failureReport(const tApplyOutcome& outcome) const;
  std::string summary(const tApplyOutcome& outcome, bool check) const;
  void writeJson(const tApplyOutcome& outcome, bool check, std::ostream& out) const;

  std::string path_;
  const tBenchView& bench_;
  const std::vector<tApplyTarget>& targets_;
  std::chrono::milliseconds timeout_;
};

// The document of a run that check --live refused: check's own document
// (its JSON text) in "refusal", nothing written.
void writeApplyRefusal(const std::string& path, const std::string& checkDocument,
                       const std::string& summary, std::ostream& out);

}  // namespace nTQVLKAET100

#endif  // CTL_APPLYREPORT_H_
