// SPDX-License-Identifier: MIT
#include "ctl/diff.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "ctl/exitStatus.h"
#include "ctl/jsonDocument.h"
#include "ctl/liveValue.h"
#include "ctl/propertyText.h"
#include "ctl/settingsSource.h"
#include "ctl/terminalText.h"
#include "ctl/textTable.h"
#include "device/aeProperties.h"
#include "restore/benchView.h"
#include "restore/entryPlan.h"
#include "restore/targetState.h"
#include "settings/portSettingSection.h"

namespace nTQVLKAET100 {

namespace {

enum class tEntryState { kInSync, kDiffers, kAbsent, kFailing, kNotApplied };

const char* stateName(tEntryState state) {
  switch (state) {
    case tEntryState::kInSync:
      return "in sync";
    case tEntryState::kDiffers:
      return "differs";
    case tEntryState::kAbsent:
      return "absent";
    case tEntryState::kFailing:
      return "failing";
    case tEntryState::kNotApplied:
      return "not applied";
  }
  return "";
}

struct tDiffRow {
  const tSettingsEntry* entry;
  tEntryState state = tEntryState::kNotApplied;
  tSettingKey target{0, 0, 0};
  bool compared = false;  // restore and live hold values
  tPropertyValue restore;
  tLiveValue live;
  std::string note;
  std::string device;  // the node of the device restore sends the entry to, when present
};

class tDiff {
 public:
  tDiff(const tDiffOptions& options, std::ostream& err) : options_(options), err_(err) {}

  int run(std::ostream& out) {
    source_ = readSettingsSource(options_.file, err_);
    if (!source_.bytes) {
      return writeNothing(out, "no settings file: nothing would be applied");
    }
    if (!source_.lines.errors.empty()) {
      const tSettingsSyntaxError& error = source_.lines.errors.front();
      rejected_ = source_.path + ":" + std::to_string(error.line) + ": " + error.message +
                  ": restore applies no entry (tqvlkaectl check shows every problem)";
      writeOutput(out);
      return kCtlFound;
    }
    const tSettingsSection* section = portSettings(source_.lines);
    if (section == nullptr) {
      return writeNothing(
          out, std::string("no [") + kPortSettingSection + "] section: nothing would be applied");
    }
    tBenchView bench;
    if (!bench.trouble().empty()) throw tCtlTrouble(bench.trouble());
    planEntries(bench, *section);
    if (!options_.serials.empty()) {
      rows_.erase(std::remove_if(rows_.begin(), rows_.end(),
                                 [&](const tDiffRow& row) {
                                   return std::find(
                                              options_.serials.begin(), options_.serials.end(),
                                              row.target.serialNumber) == options_.serials.end();
                                 }),
                  rows_.end());
    }
    writeOutput(out);
    return inSync() ? kCtlClean : kCtlFound;
  }

 private:
  // What restore does (restore/targetState.h, shared with apply): every
  // entry up to its first failure, the value each written entry's port is
  // left with (the last write to it, then the port pass), and the live one.
  void planEntries(tBenchView& bench, const tSettingsSection& section) {
    const tTargetState target = settleTarget(bench, section);
    unsigned long stopLine = 0;
    for (std::size_t i = 0; i < section.entries.size(); ++i) {
      tDiffRow row;
      row.entry = &section.entries[i];
      if (i >= target.plans.size()) {
        row.note = "restore stops at line " + std::to_string(stopLine) + " before it";
        rows_.push_back(std::move(row));
        continue;
      }
      const tEntryPlan& plan = target.plans[i];
      row.target = plan.parsed;
      if (plan.deviceIndex < bench.devices().size()) {
        row.device = bench.devices()[plan.deviceIndex].node;
      }
      if (plan.step == tPlanStep::kAbsent) {
        row.state = tEntryState::kAbsent;
        row.note = "no AE device has this serial: restore skips the entry";
      } else if (plan.failed()) {
        row.state = tEntryState::kFailing;
        row.note = plan.failure->report;
        stopLine = row.entry->line;
      } else {
        compare(row, plan, target.values.at(target.valueOf[i]), bench);
      }
      if (!row.device.empty()) noteRepeatedSerial(row, bench);
      rows_.push_back(std::move(row));
    }
  }

  // With a repeated serial, which of its devices the entry reaches: the
  // first listed, as restore's lookup finds it.
  static void noteRepeatedSerial(tDiffRow& row, const tBenchView& bench) {
    std::string others;
    for (const tAeDevice& device : bench.devices()) {
      if (device.serial == row.target.serialNumber && device.node != row.device) {
        others += (others.empty() ? "" : ", ") + device.node;
      }
    }
    if (others.empty()) return;
    row.note += std::string(row.note.empty() ? "" : "; ") + "reaches " + row.device +
                " (restore's first device of serial " + hexText(row.target.serialNumber) +
                "), not " + others;
  }

  void compare(tDiffRow& row, const tEntryPlan& plan, const tApplyTarget& left, tBenchView& bench) {
    row.compared = true;
    row.restore = propertyValue(left.value);
    if (left.line == 0) {
      row.note = "the port pass clears forcelinkdisable after the entries";
    } else if (left.line != row.entry->line) {
      row.note = "line " + std::to_string(left.line) + " sets it later";
    }
    row.live = readLiveValue(bench, plan.deviceIndex, plan.parsed.port, plan.parsed.propertyId);
    if (!row.live.read) {
      row.state = tEntryState::kDiffers;
      row.note = "the live value cannot be read: " + row.live.report;
    } else {
      row.state = row.live.value.number == row.restore.number ? tEntryState::kInSync
                                                              : tEntryState::kDiffers;
    }
  }

  std::string summary() const {
    if (!rejected_.empty()) return rejected_;
    std::size_t counts[5] = {0, 0, 0, 0, 0};
    for (const tDiffRow& row : rows_) ++counts[static_cast<int>(row.state)];
    std::string text = source_.path + ": " + std::to_string(rows_.size()) +
                       (rows_.size() == 1 ? " entry" : " entries");
    const char* separator = ": ";
    for (int state = 0; state < 5; ++state) {
      if (counts[state] == 0) continue;
      const bool several = counts[state] > 1 && state == static_cast<int>(tEntryState::kDiffers);
      text += separator + std::to_string(counts[state]) + " " +
              (several ? "differ" : stateName(static_cast<tEntryState>(state)));
      separator = ", ";
    }
    return text;
  }

  void writeOutput(std::ostream& out) const {
    if (options_.json) {
      writeJson(out);
      return;
    }
    if (!rows_.empty()) {
      std::vector<tTableRow> table;
      for (const tDiffRow& row : rows_) {
        table.push_back({std::to_string(row.entry->line), row.entry->key, stateName(row.state),
                         row.compared ? row.restore.text : "", row.compared ? row.live.text() : "",
                         row.note});
      }
      writeTable(out, {"LINE", "KEY", "STATE", "RESTORE", "LIVE", "NOTE"}, table);
    }
    out << terminalText(summary()) << '\n';
  }

  void writeJson(std::ostream& out) const {
    tJson document;
    setBytes(document, "file", source_.path);
    document["inSync"] = source_.lines.errors.empty() && inSync();
    tJson& entries = document["entries"] = tJson::array();
    for (const tDiffRow& row : rows_) {
      tJson item;
      item["line"] = row.entry->line;
      setBytes(item, "key", row.entry->key);
      item["state"] = stateName(row.state);
      if (!row.device.empty()) setBytes(item, "device", row.device);
      if (row.compared) {
        item["restore"] = row.restore.text;
        item["live"] = row.live.read ? tJson(row.live.value.text) : tJson(nullptr);
      }
      if (!row.note.empty()) item["note"] = row.note;
      entries.push_back(std::move(item));
    }
    document["summary"] = summary();
    writeJsonDocument(out, document);
  }

  // An entry for an absent device is no difference: restore skips it and
  // there is no port to compare.
  bool inSync() const {
    for (const tDiffRow& row : rows_) {
      if (row.state != tEntryState::kInSync && row.state != tEntryState::kAbsent) return false;
    }
    return true;
  }

  int writeNothing(std::ostream& out, const std::string& why) {
    rejected_ = source_.path + ": " + why;
    if (options_.json) {
      writeJson(out);
    } else {
      out << terminalText(rejected_) << '\n';
    }
    return kCtlClean;
  }

  const tDiffOptions& options_;
  std::ostream& err_;
  tSettingsSource source_;
  std::vector<tDiffRow> rows_;
  std::string rejected_;  // the one line that stands for the table
};

}  // namespace

int runDiff(const tDiffOptions& options, std::ostream& out, std::ostream& err) {
  return tDiff(options, err).run(out);
}

}  // namespace nTQVLKAET100
