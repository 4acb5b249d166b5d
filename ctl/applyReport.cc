// SPDX-License-Identifier: MIT
#include "ctl/applyReport.h"

#include <cstdio>

#include "ctl/exitStatus.h"
#include "ctl/jsonDocument.h"
#include "ctl/propertyText.h"
#include "ctl/stopSignals.h"
#include "ctl/terminalText.h"
#include "device/aeProperties.h"

namespace nTQVLKAET100 {

namespace {

std::string text(const tPropertyBytes& value) {
  return propertyValue(value).text;
}

std::string plural(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string seconds(std::chrono::milliseconds duration) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%g s", static_cast<double>(duration.count()) / 1000);
  return buffer;
}

}  // namespace

std::string tApplyReport::key(std::size_t target) const {
  const tPropertySlot& slot = targets_[target].slot;
  return hexText(bench_.devices()[slot.device].serial) + "_" + std::to_string(slot.port) + "_" +
         findAeProperty(slot.propertyId)->name;
}

std::string tApplyReport::where(std::size_t target) const {
  const unsigned long line = targets_[target].line;
  return line != 0 ? terminalText(path_) + ":" + std::to_string(line) : std::string("port pass");
}

std::string tApplyReport::failureReport(const tApplyOutcome& outcome) const {
  const std::size_t target = outcome.failedTarget;
  switch (outcome.stop) {
    case tApplyStop::kNone:
      return "";
    case tApplyStop::kInterrupted:
      return std::string("interrupted by ") + stopSignalName(outcome.signal);
    case tApplyStop::kNotKept:
      for (const tAppliedWrite& write : outcome.writes) {
        if (write.target != target) continue;
        return "the driver answered the write but reads back " + text(write.readBack) + ", not " +
               text(targets_[target].value) + ", " + seconds(timeout_) + " after it";
      }
      return "";
    case tApplyStop::kSnapshot:
    case tApplyStop::kRefused:
    case tApplyStop::kReadFailed:
      return outcome.failure->report;
  }
  return "";
}

std::string tApplyReport::summary(const tApplyOutcome& outcome, bool check) const {
  const std::size_t right = outcome.snapshot.size() - outcome.plan.size();
  const std::string head = terminalText(path_) + ": ";
  if (outcome.stop == tApplyStop::kSnapshot) {
    return head + key(outcome.failedTarget) + " cannot be read: " + outcome.failure->report +
           "; nothing written";
  }
  if (check) {
    if (outcome.plan.empty())
      return head + "nothing to change: " + plural(right, "value", "values") + " already right";
    return head + plural(outcome.plan.size(), "value", "values") + " to change, " +
           std::to_string(right) + " already right (check: nothing written)";
  }
  if (outcome.succeeded()) {
    if (outcome.plan.empty()) {
      return head + "nothing to change: " + plural(right, "value", "values") + " already right";
    }
    return head + plural(outcome.writes.size(), "value", "values") + " changed and verified, " +
           std::to_string(right) + " already right";
  }
  const std::size_t changed = outcome.rolledBack + outcome.leftChanged.size();
  std::string text = head + "apply stopped at " + where(outcome.failedTarget) + "; ";
  if (outcome.leftChanged.empty()) {
    return text +
           (changed == 0 ? std::string("it had changed nothing")
                         : plural(changed, "value it changed is", "values it changed are") +
                               " put back and verified") +
           ": the bench is as it was";
  }
  return text + std::to_string(outcome.leftChanged.size()) + " of the " +
         plural(changed, "value it changed", "values it changed") + " could not be put back";
}

int tApplyReport::writePlan(const tApplyOutcome& outcome, bool json, std::ostream& out) const {
  if (json) {
    writeJson(outcome, true, out);
  } else {
    for (const std::size_t target : outcome.plan) {
      out << where(target) << ": " << key(target) << ": " << text(outcome.snapshot[target])
          << " -> " << text(targets_[target].value) << '\n';
    }
    out << summary(outcome, true) << '\n';
  }
  if (outcome.stop == tApplyStop::kSnapshot) return kCtlTrouble;
  return outcome.plan.empty() ? kCtlClean : kCtlFound;
}

int tApplyReport::writeRun(const tApplyOutcome& outcome, bool json, std::ostream& out) const {
  if (json) {
    writeJson(outcome, false, out);
  } else {
    for (const tAppliedWrite& write : outcome.writes) {
      out << where(write.target) << ": " << key(write.target) << ": " << text(write.before)
          << " -> " << text(targets_[write.target].value) << ", "
          << (write.verified ? "verified"
              : write.sent   ? "not verified"
                             : "refused")
          << '\n';
    }
    if (!outcome.succeeded() && outcome.stop != tApplyStop::kSnapshot) {
      out << where(outcome.failedTarget) << ": " << key(outcome.failedTarget)
          << ": apply stops: " << failureReport(outcome) << '\n';
    }
    for (const tLeftChanged& left : outcome.leftChanged) {
      out << key(left.target) << ": left changed: before " << text(left.before) << ", now "
          << (left.now ? text(*left.now) : std::string("unreadable"))
          << (left.why ? " (" + left.why->report + ")" : std::string(" (does not read back)"))
          << '\n';
    }
    out << summary(outcome, false) << '\n';
  }
  if (outcome.succeeded()) return kCtlClean;
  if (outcome.stop == tApplyStop::kSnapshot) return kCtlTrouble;
  return outcome.leftChanged.empty() ? kCtlFound : kCtlRollbackFailed;
}

void tApplyReport::writeJson(const tApplyOutcome& outcome, bool check, std::ostream& out) const {
  const auto describe = [&](tJson& item, std::size_t target) {
    const tPropertySlot& slot = targets_[target].slot;
    item["key"] = key(target);
    item["line"] = lineOrNull(targets_[target].line);
    item["serial"] = hexText(bench_.devices()[slot.device].serial);
    item["port"] = slot.port;
    item["property"] = findAeProperty(slot.propertyId)->name;
  };
  tJson document;
  setBytes(document, "file", path_);
  document["check"] = check;
  document["changed"] = check                 ? outcome.plan.size()
                        : outcome.succeeded() ? outcome.writes.size()
                                              : 0;
  tJson& writes = document["writes"] = tJson::array();
  if (check) {
    for (const std::size_t target : outcome.plan) {
      tJson item;
      describe(item, target);
      item["before"] = text(outcome.snapshot[target]);
      item["after"] = text(targets_[target].value);
      item["verified"] = false;
      writes.push_back(item);
    }
  } else {
    for (const tAppliedWrite& write : outcome.writes) {
      tJson item;
      describe(item, write.target);
      item["before"] = text(write.before);
      item["after"] = text(targets_[write.target].value);
      item["verified"] = write.verified;
      writes.push_back(item);
    }
  }
  if (outcome.succeeded()) {
    document["failure"] = nullptr;
  } else {
    tJson& failure = document["failure"];
    describe(failure, outcome.failedTarget);
    failure["code"] = outcome.failure ? tJson(outcome.failure->code) : tJson(nullptr);
    failure["report"] = failureReport(outcome);
  }
  document["rolled_back"] =
      !outcome.succeeded() && outcome.stop != tApplyStop::kSnapshot && outcome.leftChanged.empty();
  tJson& left = document["rollback_failures"] = tJson::array();
  for (const tLeftChanged& changed : outcome.leftChanged) {
    tJson item;
    describe(item, changed.target);
    item["before"] = text(changed.before);
    item["now"] = changed.now ? tJson(text(*changed.now)) : tJson(nullptr);
    item["report"] = changed.why ? changed.why->report : std::string("does not read back");
    left.push_back(item);
  }
  document["summary"] = summary(outcome, check);
  writeJsonDocument(out, document);
}

void writeApplyRefusal(const std::string& path, const std::string& checkDocument,
                       const std::string& summary, std::ostream& out) {
  tJson document;
  setBytes(document, "file", path);
  document["check"] = false;
  document["changed"] = 0;
  document["writes"] = tJson::array();
  document["failure"] = nullptr;
  document["rolled_back"] = false;
  document["rollback_failures"] = tJson::array();
  document["refusal"] = tJson::parse(checkDocument);
  document["summary"] = summary;
  writeJsonDocument(out, document);
}

}  // namespace nTQVLKAET100
