// SPDX-License-Identifier: MIT
#include "ctl/check.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "ctl/exitStatus.h"
#include "ctl/jsonDocument.h"
#include "ctl/propertyText.h"
#include "ctl/settingsSource.h"
#include "ctl/terminalText.h"
#include "device/aeDevices.h"
#include "device/aeProperties.h"
#include "restore/benchView.h"
#include "restore/entryPlan.h"
#include "settings/portSettingSection.h"
#include "settings/settingKey.h"
#include "tqapal/posixCalls.h"

namespace nTQVLKAET100 {

namespace {

enum class tSeverity { kError, kWarning, kNote };

const char* severityName(tSeverity severity) {
  switch (severity) {
    case tSeverity::kError:
      return "error";
    case tSeverity::kWarning:
      return "warning";
    case tSeverity::kNote:
      return "note";
  }
  return "";
}

struct tProblem {
  unsigned long line;  // 0: the file as a whole
  tSeverity severity;
  std::string message;
  std::string restoreReport;  // what restore would write for it; may be empty
};

std::string plural(std::size_t count, const char* word) {
  return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

std::size_t editDistance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1] ? 1 : 0)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// Whether restore converts the entry's value for a 4-byte or a 1-byte
// property.
bool fitsSomeSize(const tSettingsEntry& entry) {
  for (const std::uint32_t size : {4u, 1u}) {
    if (planEntryOffline(entry.key, entry.value, size).step == tPlanStep::kReady) return true;
  }
  return false;
}

class tChecker {
 public:
  tChecker(const tCheckOptions& options, const tSettingsSource& source, tBenchView* bench)
      : options_(options), source_(source), bench_(bench) {}

  int run(std::ostream& out) {
    if (!collect()) return writeMissing(out);
    if (options_.json) {
      writeJson(out, true, summary());
    } else {
      writeText(out);
    }
    return errors_ > 0 ? kCtlFound : kCtlClean;
  }

  // Finds every problem, in line order; false when there is no file and
  // nothing else to say.
  bool collect() {
    if (!source_.bytes) {
      // Restore still runs the port pass, which --live checks.
      if (options_.live) checkEntries();
      if (!portPassFails_) return false;
    }
    if (source_.bytes) {
      checkOwnership();
      checkText();
      checkSections();
      checkEntries();
    }
    std::stable_sort(problems_.begin(), problems_.end(),
                     [](const tProblem& a, const tProblem& b) { return a.line < b.line; });
    return true;
  }

  void exportTo(tCheckFindings& found) const {
    found.errors = errors_;
    for (const tProblem& problem : problems_) {
      found.problems.push_back({problem.line, severityName(problem.severity), problem.message});
    }
  }

 private:
  void add(unsigned long line, tSeverity severity, std::string message,
           std::string report = std::string()) {
    if (severity == tSeverity::kError) ++errors_;
    if (severity == tSeverity::kWarning) ++warnings_;
    problems_.push_back({line, severity, std::move(message), std::move(report)});
  }

  // Restore stops at its first failure: the INI reader's, else the first
  // failing entry's.
  void stopsAt(unsigned long line, const std::string& message) {
    if (stopLine_ != 0) return;
    stopLine_ = line;
    add(line, tSeverity::kNote, "restore stops here: " + message);
  }

  // Whoever can write the file or replace it decides what restore writes to
  // the devices at boot.
  void checkOwnership() {
    const std::string& path = source_.path;
    checkWritable(path, "the settings file", false);
    checkWritable(nTQAPAL000::directoryOf(path), "the directory of the settings file", true);
  }

  void checkWritable(const std::string& path, const std::string& what, bool isDirectory) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return;
    const std::string name = what + " (" + path + ")";
    if (st.st_uid != 0 && (st.st_mode & S_IWUSR)) {
      add(0, tSeverity::kWarning,
          name + " is writable by its owner, uid " + std::to_string(st.st_uid) + ", not root");
    }
    if (st.st_gid != 0 && (st.st_mode & S_IWGRP)) {
      add(0, tSeverity::kWarning, name + " is writable by group gid " + std::to_string(st.st_gid));
    }
    // In a sticky directory others cannot replace a file they do not own.
    if ((st.st_mode & S_IWOTH) && !(isDirectory && (st.st_mode & S_ISVTX))) {
      add(0, tSeverity::kWarning, name + " is writable by everyone");
    }
  }

  void checkText() {
    const tSettingsLines& lines = source_.lines;
    if (lines.byteOrderMark) {
      add(1, tSeverity::kWarning,
          "the file starts with a UTF-8 byte-order mark, which the INI reader takes for part of "
          "line 1");
    }
    if (lines.zeroByteLine != 0) {
      add(lines.zeroByteLine, tSeverity::kWarning,
          "a zero byte ends the text here: the INI reader never reads what follows it");
    }
    for (const tSettingsSyntaxError& error : lines.errors) {
      add(error.line, tSeverity::kError, error.message);
    }
    if (!lines.errors.empty()) {
      const tSettingsSection* section = portSettings(lines);
      const std::size_t entries = section ? section->entries.size() : 0;
      stopsAt(lines.errors.front().line, "the INI reader rejects the file: none of its " +
                                             entryCount(entries) +
                                             " and not the port pass would be applied");
    }
  }

  void checkSections() {
    const tSettingsLines& lines = source_.lines;
    std::vector<const tSettingsSection*> unread =
        lines.sectionsDifferingInCase(kPortSettingSection);
    for (const tSettingsSection* section : unread) {
      add(section->line, tSeverity::kWarning,
          "section [" + section->name + "] differs from [" + kPortSettingSection +
              "] in letter case: restore does not read its " + entryCount(section->entries.size()));
    }
    bool emptyPortSettings = false;
    for (const tSettingsSection& section : lines.emptySections) {
      if (section.name == kPortSettingSection) {
        emptyPortSettings = true;
        add(section.line, tSeverity::kWarning,
            std::string("section [") + kPortSettingSection + "] has no entries");
      }
    }
    if (portSettings(lines) == nullptr && !emptyPortSettings && unread.empty()) {
      add(0, tSeverity::kWarning,
          std::string("no [") + kPortSettingSection + "] section: restore applies no entry");
    }
    // Settings keys that restore never reads where they stand.
    for (const tSettingsEntry& entry : lines.topEntries) {
      warnMisplaced(entry, "before any section");
    }
    for (const tSettingsSection& section : lines.sections) {
      if (section.name == kPortSettingSection ||
          std::find(unread.begin(), unread.end(), &section) != unread.end()) {
        continue;
      }
      for (const tSettingsEntry& entry : section.entries) {
        warnMisplaced(entry, "in section [" + section.name + "]");
      }
    }
  }

  static std::string entryCount(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " entry" : " entries");
  }

  static std::string laterEntries(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " later entry" : " later entries");
  }

  void warnMisplaced(const tSettingsEntry& entry, const std::string& where) {
    if (planEntryOffline(entry.key, entry.value).step == tPlanStep::kKey) return;
    add(entry.line, tSeverity::kWarning,
        "'" + entry.key + "' stands " + where + ": restore reads only [" + kPortSettingSection +
            "]");
  }

  void checkEntries() {
    const tSettingsSection* section = portSettings(source_.lines);
    entries_ = section != nullptr ? section->entries.size() : 0;
    tBenchView* bench = nullptr;
    if (options_.live) {
      if (bench_ == nullptr) {
        ownBench_ = std::make_unique<tBenchView>();
        bench_ = ownBench_.get();
      }
      bench = bench_;
      if (!bench->trouble().empty() && !bench->driverMissing()) {
        throw tCtlTrouble(bench->trouble());
      }
      if (bench->driverMissing()) {
        add(0, tSeverity::kWarning, bench->trouble() + ": restore skips every entry");
      }
    }
    for (std::size_t i = 0; i < entries_; ++i) {
      if (!checkEntry(section->entries[i], bench)) {
        stopsAt(section->entries[i].line, laterEntries(section->entries.size() - i - 1) +
                                              " and the port pass would not be applied");
      }
    }
    if (bench != nullptr && stopLine_ == 0) checkPortPass(*bench);
  }

  // Reports the entry's problems; false when restore would fail at it. The
  // steps come in restore's order: the key and the property, then (live) the
  // device, whose absence skips the entry before its value is looked at.
  bool checkEntry(const tSettingsEntry& entry, tBenchView* bench) {
    const tEntryPlan offline = planEntryOffline(entry.key, entry.value);
    if (offline.step == tPlanStep::kKey) {
      add(entry.line, tSeverity::kError,
          "key '" + entry.key +
              "' is not <hex serial>_<decimal port>_<property> with serial and port within 32 "
              "bits",
          offline.failure->report);
      return false;
    }
    if (offline.step == tPlanStep::kProperty) {
      const std::string word = scanSettingKey(entry.key).propertyWord;
      add(entry.line, tSeverity::kError,
          "unknown property '" + word + "' in key '" + entry.key + "'; did you mean '" +
              nearestPropertyName(word) + "'?",
          offline.failure->report);
      return false;
    }
    warnSameProperty(entry, offline.parsed);
    std::optional<tEntryPlan> plan;
    if (bench != nullptr) {
      plan = planEntryOn(*bench, entry.key, entry.value, entry.line);
      if (plan->step == tPlanStep::kAbsent) {
        ++skipped_;
        add(entry.line, tSeverity::kWarning,
            "no AE device has serial " + hexText(offline.parsed.serialNumber) +
                ": restore skips this entry");
        return true;
      }
    }
    const tAeProperty* property = findAeProperty(offline.parsed.propertyId);
    const bool fitsNoSize = !fitsSomeSize(entry);
    if (fitsNoSize) {
      add(entry.line, tSeverity::kError,
          "value '" + entry.value +
              "' fits no property size: it is neither a 32-bit decimal "
              "number nor exactly one character once quotes are removed",
          offline.failure->report);
    }
    if (bench == nullptr) {
      if (!fitsNoSize && offline.failed()) {
        add(entry.line, tSeverity::kWarning,
            "value '" + entry.value + "' does not fit " + property->name +
                " at its usual size of " + std::to_string(property->usualSize) +
                " bytes (restore asks the driver for the size: check --live knows it)",
            offline.failure->report);
      }
      return !fitsNoSize;
    }
    return checkLive(entry, offline.parsed, fitsNoSize, *plan, *bench) && !fitsNoSize;
  }

  // Two keys spelled differently that set the same port property: restore
  // writes both, the later one last.
  void warnSameProperty(const tSettingsEntry& entry, const tSettingKey& key) {
    const auto earlier =
        firstKeys_.emplace(std::make_tuple(key.serialNumber, key.port, key.propertyId), &entry);
    if (earlier.second || earlier.first->second->key == entry.key) return;
    add(entry.line, tSeverity::kWarning,
        "'" + entry.key + "' sets the same property as '" + earlier.first->second->key +
            "' on line " + std::to_string(earlier.first->second->line) +
            ": restore writes both, this one later");
  }

  bool checkLive(const tSettingsEntry& entry, const tSettingKey& key, bool valueReported,
                 const tEntryPlan& plan, tBenchView& bench) {
    const std::string serial = hexText(key.serialNumber);
    const tAeDevice* device =
        plan.deviceIndex != tBenchView::kNone ? &bench.devices()[plan.deviceIndex] : nullptr;
    if (device != nullptr) warnRepeatedSerial(entry, *device, bench);
    switch (plan.step) {
      case tPlanStep::kReady:
      case tPlanStep::kAbsent:
        return true;
      case tPlanStep::kSizeQuery:
        if (device != nullptr && key.port >= device->portCount) {
          add(entry.line, tSeverity::kError,
              "port " + std::to_string(key.port) + " is out of range: device " + serial + " (" +
                  device->node + ") has " + plural(device->portCount, "port"),
              plan.failure->report);
          return false;
        }
        add(entry.line, tSeverity::kError,
            "the driver refuses the size query of " +
                std::string(findAeProperty(key.propertyId)->name),
            plan.failure->report);
        return false;
      case tPlanStep::kSize:
        add(entry.line, tSeverity::kError,
            "the driver reports a size of " + std::to_string(plan.size) + " bytes for " +
                findAeProperty(key.propertyId)->name + "; restore writes only 1 or 4",
            plan.failure->report);
        return false;
      case tPlanStep::kValue:
        if (!valueReported) {
          add(entry.line, tSeverity::kError,
              "value '" + entry.value + "' does not convert for " +
                  findAeProperty(key.propertyId)->name + ", which the driver reports " +
                  plural(plan.size, "byte") + " wide",
              plan.failure->report);
        }
        return false;
      case tPlanStep::kLookup:
      case tPlanStep::kOpen:
      case tPlanStep::kKey:
      case tPlanStep::kProperty:
        add(entry.line, tSeverity::kError,
            plan.step == tPlanStep::kOpen
                ? "device " + serial + " (" + plan.devicePath + ") cannot be opened"
                : std::string("the device search fails"),
            plan.failure->report);
        return false;
    }
    return false;
  }

  // Several devices with one serial: restore reaches the first for every
  // entry of it. Said once per serial.
  void warnRepeatedSerial(const tSettingsEntry& entry, const tAeDevice& reached,
                          const tBenchView& bench) {
    std::size_t count = 0;
    for (const tAeDevice& device : bench.devices()) count += device.serial == reached.serial;
    if (count < 2 || !repeatedWarned_.insert(reached.serial).second) return;
    add(entry.line, tSeverity::kWarning,
        std::to_string(count) + " AE devices have serial " + hexText(reached.serial) +
            ": restore sends every entry of it to the first, " + reached.node);
  }

  // What the port pass needs, asked read-only: for every listed device, the
  // device restore reaches for its serial opens, has each of the listed
  // device's ports, and answers the size query of forcelinkdisable there. A
  // write the driver refuses cannot be foreseen without writing.
  void checkPortPass(tBenchView& bench) {
    for (const tAeDevice& device : bench.devices()) {
      const std::size_t target = bench.reach(device.serial);
      const tAeDevice& reached = bench.devices()[target];
      std::optional<tRestoreFailure> failure;
      std::string what;
      if (bench.open(target, failure) == nullptr) {
        what = "device " + hexText(reached.serial) + " (" + reached.node + ") cannot be opened";
      }
      for (std::uint32_t port = 0; !failure && port < device.portCount; ++port) {
        bench.size(target, port, kPropertyForceLinkDisable, failure);
        if (failure) {
          what = "port " + std::to_string(port) + " of " + reached.node +
                 (port >= reached.portCount ? " does not exist"
                                            : " refuses the size query of forcelinkdisable");
        }
      }
      if (!failure) continue;
      add(0, tSeverity::kError, "the port pass fails: " + what, failure->report);
      portPassFails_ = true;
      return;
    }
  }

  std::string summary() const {
    std::string text = source_.path + ": " + plural(errors_, "error") + ", " +
                       plural(warnings_, "warning") + "; restore would ";
    if (stopLine_ != 0) return text + "stop at line " + std::to_string(stopLine_);
    if (portPassFails_) return text + "stop in the port pass";
    text += "run through: " + entryCount(entries_);
    if (skipped_ != 0) text += " (" + std::to_string(skipped_) + " skipped)";
    return text + ", then the port pass";
  }

  void writeText(std::ostream& out) const {
    for (const tProblem& problem : problems_) {
      std::string line = source_.path + ':';
      if (problem.line != 0) line += std::to_string(problem.line) + ':';
      out << terminalText(line + ' ' + severityName(problem.severity) + ": " + problem.message)
          << '\n';
    }
    out << terminalText(summary()) << '\n';
  }

  // One form for every file, a missing one included (it has no problems
  // and restore runs through: only the port pass).
  void writeJson(std::ostream& out, bool exists, const std::string& summaryText) const {
    tJson document;
    setBytes(document, "file", source_.path);
    document["exists"] = exists;
    document["live"] = options_.live;
    document["entries"] = entries_;
    document["errors"] = errors_;
    document["warnings"] = warnings_;
    tJson& problems = document["problems"] = tJson::array();
    for (const tProblem& problem : problems_) {
      tJson item;
      item["line"] = lineOrNull(problem.line);
      item["severity"] = severityName(problem.severity);
      item["message"] = problem.message;
      if (!problem.restoreReport.empty()) item["restoreReport"] = problem.restoreReport;
      problems.push_back(std::move(item));
    }
    document["restore"] = {{"runsThrough", stopLine_ == 0 && !portPassFails_},
                           {"stopLine", lineOrNull(stopLine_)},
                           {"skipped", skipped_}};
    document["summary"] = summaryText;
    writeJsonDocument(out, document);
  }

  int writeMissing(std::ostream& out) const {
    const std::string message =
        source_.path +
        ": no settings file: nothing would be applied; restore runs only the port "
        "pass";
    if (options_.json) {
      writeJson(out, false, message);
    } else {
      out << terminalText(message) << '\n';
    }
    return kCtlClean;
  }

  const tCheckOptions& options_;
  const tSettingsSource& source_;
  tBenchView* bench_;                     // live: the view asked
  std::unique_ptr<tBenchView> ownBench_;  // when the caller gave none
  std::vector<tProblem> problems_;
  std::size_t errors_ = 0;
  std::size_t warnings_ = 0;
  std::size_t entries_ = 0;
  std::size_t skipped_ = 0;
  unsigned long stopLine_ = 0;
  bool portPassFails_ = false;
  std::map<std::tuple<std::uint32_t, std::uint32_t, std::uint32_t>, const tSettingsEntry*>
      firstKeys_;
  std::set<std::uint32_t> repeatedWarned_;
};

}  // namespace

const char* nearestPropertyName(const std::string& word) {
  std::string lower = word;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const char* nearest = kAeProperties[0].name;
  std::size_t best = editDistance(lower, nearest);
  for (const tAeProperty& property : kAeProperties) {
    const std::size_t distance = editDistance(lower, property.name);
    if (distance < best) {
      best = distance;
      nearest = property.name;
    }
  }
  return nearest;
}

int runCheck(const tCheckOptions& options, std::ostream& out, std::ostream& err) {
  return runCheck(options, readSettingsSource(options.file, err), out);
}

int runCheck(const tCheckOptions& options, const tSettingsSource& source, std::ostream& out,
             tBenchView* bench) {
  return tChecker(options, source, bench).run(out);
}

tCheckFindings checkFindings(const tSettingsSource& source, bool live, tBenchView* bench) {
  const tCheckOptions options{source.path, live, false};
  tChecker checker(options, source, bench);
  std::ostringstream text;
  checker.run(text);
  tCheckFindings found;
  checker.exportTo(found);
  found.text = text.str();
  return found;
}

}  // namespace nTQVLKAET100
