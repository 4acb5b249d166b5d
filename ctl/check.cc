// SPDX-License-Identifier: MIT
#include "ctl/check.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "ctl/exitStatus.h"
#include "ctl/jsonWriter.h"
#include "ctl/propertyText.h"
#include "ctl/settingsSource.h"
#include "device/aeDevices.h"
#include "device/aeProperties.h"
#include "settings/entryPlan.h"
#include "settings/restoreSettings.h"
#include "settings/settingKey.h"
#include "settings/valueConversion.h"
#include "tqapal/tStatus.h"

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

bool converts(void (*conversion)(const std::string&), const std::string& value) {
  try {
    conversion(value);
    return true;
  } catch (const std::bad_alloc&) {
    throw;
  } catch (...) {
    return false;
  }
}

bool fitsSomeSize(const std::string& value) {
  return converts([](const std::string& v) { convertValue32(v); }, value) ||
         converts([](const std::string& v) { convertValue8(v); }, value);
}

class tChecker {
 public:
  tChecker(const tCheckOptions& options, tSettingsSource source)
      : options_(options), source_(std::move(source)) {}

  int run(std::ostream& out) {
    if (!source_.bytes) return writeMissing(out);
    checkOwnership();
    checkText();
    checkSections();
    checkEntries();
    std::stable_sort(problems_.begin(), problems_.end(),
                     [](const tProblem& a, const tProblem& b) { return a.line < b.line; });
    if (options_.json) {
      writeJson(out);
    } else {
      writeText(out);
    }
    return errors_ > 0 ? kCtlFound : kCtlClean;
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
    const std::size_t slash = path.rfind('/');
    const std::string dir =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    checkWritable(path, "the settings file", false);
    checkWritable(dir, "the directory of the settings file", true);
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
    if (section == nullptr) return;
    entries_ = section->entries.size();
    std::vector<tAeDevice> devices;
    if (options_.live) {
      nTQAPAL000::tStatus status;
      listAeDevices(devices, status);
      nTQAPAL000::throwIfFatal(status);
    }
    for (std::size_t i = 0; i < section->entries.size(); ++i) {
      if (!checkEntry(section->entries[i], devices)) {
        stopsAt(section->entries[i].line, laterEntries(section->entries.size() - i - 1) +
                                              " and the port pass would not be applied");
      }
    }
  }

  // Reports the entry's problems; false when restore would fail at it.
  bool checkEntry(const tSettingsEntry& entry, const std::vector<tAeDevice>& devices) {
    const tEntryPlan offline = planEntryOffline(entry.key, entry.value);
    if (offline.step == tPlanStep::kKey) {
      add(entry.line, tSeverity::kError,
          "key '" + entry.key +
              "' is not <hex serial>_<decimal port>_<property> with serial and port within 32 "
              "bits",
          restoreReport(offline.failure));
      return false;
    }
    if (offline.step == tPlanStep::kProperty) {
      const std::string word = scanSettingKey(entry.key).propertyWord;
      add(entry.line, tSeverity::kError,
          "unknown property '" + word + "' in key '" + entry.key + "'; did you mean '" +
              nearestPropertyName(word) + "'?",
          restoreReport(offline.failure));
      return false;
    }
    const tAeProperty* property = findAeProperty(offline.parsed.propertyId);
    const bool fitsNoSize = !fitsSomeSize(offline.value);
    if (fitsNoSize) {
      add(entry.line, tSeverity::kError,
          "value '" + entry.value +
              "' fits no property size: it is neither a 32-bit decimal "
              "number nor exactly one character once quotes are removed",
          restoreReport(offline.failure));
    }
    if (!options_.live) {
      if (!fitsNoSize && offline.failed()) {
        add(entry.line, tSeverity::kWarning,
            "value '" + entry.value + "' does not fit " + property->name +
                " at its usual size of " + std::to_string(property->usualSize) +
                " bytes (restore asks the driver for the size: check --live knows it)",
            restoreReport(offline.failure));
      }
      return !fitsNoSize;
    }
    return checkLive(entry, offline.parsed, fitsNoSize, devices) && !fitsNoSize;
  }

  bool checkLive(const tSettingsEntry& entry, const tSettingKey& key, bool valueReported,
                 const std::vector<tAeDevice>& devices) {
    const std::string serial = hexText(key.serialNumber);
    const tEntryPlan plan = planEntry(entry.key, entry.value);
    const tAeDevice* device = nullptr;
    for (const tAeDevice& candidate : devices) {
      if (candidate.serial == key.serialNumber) {
        device = &candidate;
        break;
      }
    }
    switch (plan.step) {
      case tPlanStep::kReady:
        return true;
      case tPlanStep::kAbsent:
        ++skipped_;
        add(entry.line, tSeverity::kWarning,
            "no AE device has serial " + serial + ": restore skips this entry");
        return true;
      case tPlanStep::kSizeQuery:
        if (device != nullptr && key.port >= device->portCount) {
          add(entry.line, tSeverity::kError,
              "port " + std::to_string(key.port) + " is out of range: device " + serial + " (" +
                  device->node + ") has " + plural(device->portCount, "port"),
              restoreReport(plan.failure));
          return false;
        }
        add(entry.line, tSeverity::kError,
            "the driver refuses the size query of " +
                std::string(findAeProperty(key.propertyId)->name),
            restoreReport(plan.failure));
        return false;
      case tPlanStep::kSize:
        add(entry.line, tSeverity::kError,
            "the driver reports a size of " + std::to_string(plan.size) + " bytes for " +
                findAeProperty(key.propertyId)->name + "; restore writes only 1 or 4",
            restoreReport(plan.failure));
        return false;
      case tPlanStep::kValue:
        if (!valueReported) {
          add(entry.line, tSeverity::kError,
              "value '" + entry.value + "' does not convert for " +
                  findAeProperty(key.propertyId)->name + ", which the driver reports " +
                  plural(plan.size, "byte") + " wide",
              restoreReport(plan.failure));
        }
        return false;
      case tPlanStep::kLookup:
      case tPlanStep::kOpen:
      case tPlanStep::kKey:
      case tPlanStep::kProperty:
        add(entry.line, tSeverity::kError,
            plan.step == tPlanStep::kOpen ? "device " + serial + " cannot be opened"
                                          : std::string("the device search fails"),
            restoreReport(plan.failure));
        return false;
    }
    return false;
  }

  std::string summary() const {
    std::string text = source_.path + ": " + plural(errors_, "error") + ", " +
                       plural(warnings_, "warning") + "; restore would ";
    if (stopLine_ != 0) return text + "stop at line " + std::to_string(stopLine_);
    text += "run through: " + entryCount(entries_);
    if (skipped_ != 0) text += " (" + std::to_string(skipped_) + " skipped)";
    return text + ", then the port pass";
  }

  void writeText(std::ostream& out) const {
    for (const tProblem& problem : problems_) {
      out << source_.path << ':';
      if (problem.line != 0) out << problem.line << ':';
      out << ' ' << severityName(problem.severity) << ": " << problem.message << '\n';
    }
    out << summary() << '\n';
  }

  void writeJson(std::ostream& out) const {
    tJsonWriter json(out);
    json.beginObject();
    json.key("file").string(source_.path);
    json.key("exists").boolean(true);
    json.key("live").boolean(options_.live);
    json.key("entries").number(static_cast<std::int64_t>(entries_));
    json.key("errors").number(static_cast<std::int64_t>(errors_));
    json.key("warnings").number(static_cast<std::int64_t>(warnings_));
    json.key("problems").beginArray();
    for (const tProblem& problem : problems_) {
      json.beginObject();
      json.key("line");
      if (problem.line != 0) {
        json.number(static_cast<std::int64_t>(problem.line));
      } else {
        json.null();
      }
      json.key("severity").string(severityName(problem.severity));
      json.key("message").string(problem.message);
      if (!problem.restoreReport.empty()) json.key("restoreReport").string(problem.restoreReport);
      json.endObject();
    }
    json.endArray();
    json.key("restore").beginObject();
    json.key("runsThrough").boolean(stopLine_ == 0);
    json.key("stopLine");
    if (stopLine_ != 0) {
      json.number(static_cast<std::int64_t>(stopLine_));
    } else {
      json.null();
    }
    json.key("skipped").number(static_cast<std::int64_t>(skipped_));
    json.endObject();
    json.key("summary").string(summary());
    json.endObject();
    json.finish();
  }

  int writeMissing(std::ostream& out) const {
    const std::string message =
        source_.path +
        ": no settings file: nothing would be applied; restore runs only the port "
        "pass";
    if (options_.json) {
      tJsonWriter json(out);
      json.beginObject();
      json.key("file").string(source_.path);
      json.key("exists").boolean(false);
      json.key("live").boolean(options_.live);
      json.key("entries").number(0);
      json.key("errors").number(0);
      json.key("warnings").number(0);
      json.key("problems").beginArray();
      json.endArray();
      json.key("summary").string(message);
      json.endObject();
      json.finish();
    } else {
      out << message << '\n';
    }
    return kCtlClean;
  }

  const tCheckOptions& options_;
  tSettingsSource source_;
  std::vector<tProblem> problems_;
  std::size_t errors_ = 0;
  std::size_t warnings_ = 0;
  std::size_t entries_ = 0;
  std::size_t skipped_ = 0;
  unsigned long stopLine_ = 0;
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

int runCheck(const tCheckOptions& options, std::ostream& out) {
  return runCheck(options, readSettingsSource(options.file), out);
}

int runCheck(const tCheckOptions& options, tSettingsSource source, std::ostream& out) {
  return tChecker(options, std::move(source)).run(out);
}

}  // namespace nTQVLKAET100
