// SPDX-License-Identifier: MIT
#include "ctl/store.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "ctl/check.h"
#include "ctl/exitStatus.h"
#include "ctl/jsonDocument.h"
#include "ctl/liveValue.h"
#include "ctl/propertyText.h"
#include "ctl/settingsSource.h"
#include "ctl/terminalText.h"
#include "device/aeDevices.h"
#include "device/aeProperties.h"
#include "restore/benchView.h"
#include "settings/loadSettingsFile.h"
#include "settings/settingKey.h"
#include "settings/storeRewrite.h"
#include "settings/unifiedDiff.h"
#include "settings/valueText.h"

namespace nTQVLKAET100 {

namespace {

// A file that changes between our read and our lock is read again; one that
// keeps changing is trouble.
constexpr int kWriteAttempts = 5;

std::string keyOf(std::uint32_t serial, std::uint32_t port, std::uint32_t propertyId) {
  return settingKeyText(serial, port, findAeProperty(propertyId)->name);
}

// What a run of store found and did, for the text and the JSON output.
struct tStoreReport {
  const char* outcome = "refused";    // "stored", "unchanged", "dry run", "refused"
  std::vector<std::string> refusals;  // why nothing is written
  tStoreRewrite rewrite;
  std::string diff;  // a dry run's unified diff
  std::string summary;
};

class tStore {
 public:
  tStore(const tStoreOptions& options, std::ostream& err) : options_(options), err_(err) {}

  int run(std::ostream& out) {
    const int status = decide();
    if (options_.json) {
      writeJson(out);
    } else {
      writeText(out);
    }
    return status;
  }

 private:
  int decide() {
    report_.summary = settingsPath() + ": nothing written";
    if (!capture()) return kCtlFound;
    for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
      tSettingsSource source = readSettingsSource(options_.file, err_, true);
      const std::string old = source.bytes.value_or(std::string());
      const tCheckFindings findings = checkFindings(source, false);
      if (findings.errors != 0) {
        refuseWith(findings);
        report_.summary = source.path + ": store refuses a file with errors; nothing written";
        return kCtlFound;
      }
      report_.rewrite = rewriteSettings(old, captured_, !options_.existingOnly);
      const tStoreRewrite& rewrite = report_.rewrite;
      if (rewrite.refusal != tRewriteRefusal::kNone) {
        report_.summary =
            source.path + ": " + rewriteRefusalText(rewrite.refusal) + "; nothing written";
        return kCtlFound;
      }
      if (namesLeftOutValue(source)) return kCtlFound;
      if (!restoreAppliesWhole(source.path, rewrite.bytes)) return kCtlFound;
      if (rewrite.bytes == old) {
        report_.outcome = "unchanged";
        report_.summary = source.path + ": nothing to change: " + counts();
        return kCtlClean;
      }
      if (options_.dryRun) {
        report_.outcome = "dry run";
        report_.diff = unifiedDiff(old, rewrite.bytes, source.path, source.path);
        report_.summary = source.path + ": would store (dry run: nothing written): " + counts();
        return kCtlClean;
      }
      if (replaceSettingsSource(source.path, old, rewrite.bytes, err_)) {
        report_.outcome = "stored";
        report_.summary = source.path + ": stored: " + counts();
        return kCtlClean;
      }
    }
    throw tCtlTrouble(settingsPath() + ": the file keeps changing while it is stored");
  }

  // Whether an entry of the file names a value that store leaves out: restore
  // would write the entry's old value, not the one store read. Refused, with
  // the entry's line.
  bool namesLeftOutValue(const tSettingsSource& source) {
    const tSettingsSection* section = portSettings(source.lines);
    if (section == nullptr) return false;
    for (const tSettingsEntry& entry : section->entries) {
      const std::optional<tSettingKey> key = readSettingKey(entry.key);
      if (!key) continue;
      for (const tLeftOutValue& left : report_.rewrite.leftOut) {
        if (left.value.serialNumber != key->serialNumber || left.value.port != key->port ||
            left.value.propertyId != key->propertyId) {
          continue;
        }
        report_.refusals.push_back(source.path + ":" + std::to_string(entry.line) + ": " +
                                   entry.key + " keeps its old value: " + left.reason);
      }
    }
    if (report_.refusals.empty()) return false;
    report_.summary = source.path +
                      ": store refuses: restore would write old values where store read values "
                      "no settings line can carry; nothing written";
    return true;
  }

  // check's lines, its summary last, as the reasons store refuses.
  void refuseWith(const tCheckFindings& findings) {
    std::istringstream lines(findings.text);
    for (std::string line; std::getline(lines, line);) report_.refusals.push_back(line);
  }

  // Whether restore, on the bench as it is, would run through the file that
  // store is about to write, so that it writes back what store captured: an
  // entry that store leaves as it is (a port the device does not have, a
  // value the property's size does not take, a value left out) can stop it.
  // check --live of the new bytes decides; its findings are the refusal.
  bool restoreAppliesWhole(const std::string& path, const std::string& bytes) {
    tSettingsSource stored;
    stored.path = path + " (as stored)";
    stored.bytes = bytes;
    stored.lines = readSettingsLines(bytes.data(), bytes.size());
    // On the view store read the values through: the devices are not
    // listed or opened again.
    const tCheckFindings findings = checkFindings(stored, true, bench_.get());
    if (findings.errors == 0) return true;
    refuseWith(findings);
    report_.summary = path +
                      ": store refuses: restore would stop in the stored file and not write "
                      "back what store read; nothing written";
    return false;
  }

  // Reads every value; false (with the refusals noted) when the driver
  // refuses one.
  bool capture() {
    bench_ = std::make_unique<tBenchView>();
    tBenchView& bench = *bench_;
    if (!bench.trouble().empty()) throw tCtlTrouble(bench.trouble());
    const std::vector<tAeDevice>& devices = bench.devices();
    for (const std::uint32_t serial : options_.serials) {
      if (std::none_of(devices.begin(), devices.end(),
                       [&](const tAeDevice& device) { return device.serial == serial; })) {
        report_.refusals.push_back("no AE device has serial " + hexText(serial));
      }
    }
    for (std::size_t index = 0; index < devices.size(); ++index) {
      const tAeDevice& device = devices[index];
      if (!options_.serials.empty() && std::find(options_.serials.begin(), options_.serials.end(),
                                                 device.serial) == options_.serials.end()) {
        continue;
      }
      const std::size_t reached = bench.reach(device.serial);
      if (reached != index) {
        // Its values would be stored under keys that restore sends to
        // another device.
        report_.refusals.push_back("devices " + devices[reached].node + " and " + device.node +
                                   " both have serial " + hexText(device.serial) +
                                   ": restore sends every entry of it to the first, so the "
                                   "values of " +
                                   device.node + " cannot be stored");
        continue;
      }
      const std::vector<tLiveValue> values = readDeviceValues(bench, index);
      for (std::size_t i = 0; i < values.size(); ++i) {
        const std::uint32_t port = static_cast<std::uint32_t>(i / kAePropertyCount);
        const tAeProperty& property = kAeProperties[i % kAePropertyCount];
        const tLiveValue& live = values[i];
        if (!live.read) {
          // Never stored, so its refusal leaves nothing half-captured.
          if (property.id == kPropertyForceLinkDisable) continue;
          report_.refusals.push_back(keyOf(device.serial, port, property.id) +
                                     ": the driver refuses to read it: " + live.report);
          continue;
        }
        tCapturedValue value{device.serial, port, property.id, live.value.size, {0, 0, 0, 0}};
        if (live.value.size == 4) {
          const std::uint32_t number = static_cast<std::uint32_t>(live.value.number);
          std::memcpy(value.bytes, &number, 4);
        } else {
          value.bytes[0] = static_cast<unsigned char>(live.value.number);
        }
        captured_.push_back(value);
      }
    }
    return report_.refusals.empty();
  }

  static const char* forceLinkDisableNote() {
    return "forcelinkdisable is not stored: restore clears it on every port after the entries";
  }

  // "1 changed, 30 added, 5 already right", and what was not stored.
  std::string counts() const {
    const tStoreRewrite& rewrite = report_.rewrite;
    std::string text = std::to_string(rewrite.changed) + " changed, " +
                       std::to_string(rewrite.added) + " added, " +
                       std::to_string(rewrite.alreadyRight) + " already right";
    if (!rewrite.leftOut.empty())
      text += ", " + std::to_string(rewrite.leftOut.size()) + " left out";
    if (rewrite.notInFile != 0) {
      text += ", " + std::to_string(rewrite.notInFile) + " not in the file (--existing-only)";
    }
    return text;
  }

  void writeText(std::ostream& out) const {
    for (const std::string& refusal : report_.refusals) out << terminalText(refusal) << '\n';
    for (const tLeftOutValue& left : report_.rewrite.leftOut) {
      out << keyOf(left.value.serialNumber, left.value.port, left.value.propertyId)
          << ": left out: " << left.reason << '\n';
    }
    if (report_.rewrite.forceLinkDisableLeftOut) out << forceLinkDisableNote() << '\n';
    out << report_.diff << terminalText(report_.summary) << '\n';
  }

  void writeJson(std::ostream& out) const {
    const tStoreRewrite& rewrite = report_.rewrite;
    tJson document;
    setBytes(document, "file", settingsPath());
    document["outcome"] = report_.outcome;
    document["dryRun"] = options_.dryRun;
    document["existingOnly"] = options_.existingOnly;
    document["changed"] = rewrite.changed;
    document["added"] = rewrite.added;
    document["alreadyRight"] = rewrite.alreadyRight;
    document["notInFile"] = rewrite.notInFile;
    tJson& leftOut = document["leftOut"] = tJson::array();
    for (const tLeftOutValue& left : rewrite.leftOut) {
      tJson item;
      item["key"] = keyOf(left.value.serialNumber, left.value.port, left.value.propertyId);
      item["reason"] = left.reason;
      leftOut.push_back(std::move(item));
    }
    document["forceLinkDisableLeftOut"] = rewrite.forceLinkDisableLeftOut;
    document["refusals"] = report_.refusals;
    if (options_.dryRun) document["diff"] = report_.diff;
    document["summary"] = report_.summary;
    writeJsonDocument(out, document);
  }

  std::string settingsPath() const {
    return options_.file.empty() ? settingsFilePath() : options_.file;
  }

  const tStoreOptions& options_;
  std::ostream& err_;
  std::unique_ptr<tBenchView> bench_;  // the devices as capture found them
  std::vector<tCapturedValue> captured_;
  tStoreReport report_;
};

}  // namespace

int runStore(const tStoreOptions& options, std::ostream& out, std::ostream& err) {
  return tStore(options, err).run(out);
}

}  // namespace nTQVLKAET100
