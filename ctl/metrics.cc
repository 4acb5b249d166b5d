// SPDX-License-Identifier: MIT
#include "ctl/metrics.h"

#include <chrono>
#include <map>
#include <optional>
#include <sstream>
#include <vector>

#include "ctl/check.h"
#include "ctl/exitStatus.h"
#include "ctl/exposition.h"
#include "ctl/liveValue.h"
#include "ctl/outputFile.h"
#include "ctl/propertyText.h"
#include "ctl/restoreRecord.h"
#include "ctl/settingsSource.h"
#include "device/aeProperties.h"
#include "restore/benchView.h"
#include "restore/targetState.h"
#include "settings/settingKey.h"

namespace nTQVLKAET100 {

namespace {

tMetricFamily gauge(const char* name, const char* help) {
  return {name, help, "gauge", {}};
}

void setValue(tMetricFamily& family, double value) {
  family.samples.push_back({{}, value});
}

class tMetrics {
 public:
  explicit tMetrics(const tSettingsSource& source) : source_(source) {}

  std::vector<tMetricFamily> take() {
    tBenchView bench;
    if (!bench.trouble().empty() && !bench.driverMissing()) throw tCtlTrouble(bench.trouble());
    const tSettingsSection* section = source_.bytes ? portSettings(source_.lines) : nullptr;
    // An INI reader's error makes restore apply no entry.
    if (section != nullptr && source_.lines.errors.empty()) compare(bench, *section);
    setValue(entries_, section != nullptr ? static_cast<double>(section->entries.size()) : 0);
    setValue(outOfSync_, static_cast<double>(differing_ + refused_.samples.size()));
    devicesPresent(bench, section);
    setValue(checkErrors_, static_cast<double>(checkFindings(source_, true, &bench).errors));
    lastRestore();
    setValue(takenAt_, static_cast<double>(std::chrono::duration_cast<std::chrono::seconds>(
                                               std::chrono::system_clock::now().time_since_epoch())
                                               .count()));
    return {inSync_,      refused_,  entries_, outOfSync_, present_,
            checkErrors_, recorded_, success_, endedAt_,   takenAt_};
  }

 private:
  // Each property the entries leave set, once, against its live value.
  void compare(tBenchView& bench, const tSettingsSection& section) {
    const tTargetState target = settleTarget(bench, section);
    std::vector<bool> seen(target.values.size(), false);
    for (std::size_t i = 0; i < target.plans.size(); ++i) {
      const std::size_t at = target.valueOf[i];
      if (at == tTargetState::kNone || seen[at]) continue;
      seen[at] = true;
      const tEntryPlan& plan = target.plans[i];
      const tLabels labels = {{"serial", hexText(plan.parsed.serialNumber)},
                              {"port", std::to_string(plan.parsed.port)},
                              {"property", findAeProperty(plan.parsed.propertyId)->name}};
      const tLiveValue live =
          readLiveValue(bench, plan.deviceIndex, plan.parsed.port, plan.parsed.propertyId);
      if (!live.read) {
        refused_.samples.push_back({labels, 1});
        continue;
      }
      const bool same = live.value.number == propertyValue(target.values[at].value).number;
      inSync_.samples.push_back({labels, same ? 1.0 : 0.0});
      if (!same) ++differing_;
    }
  }

  void devicesPresent(const tBenchView& bench, const tSettingsSection* section) {
    std::map<std::uint32_t, bool> serials;
    for (const tAeDevice& device : bench.devices()) serials[device.serial] = true;
    if (section != nullptr) {
      for (const tSettingsEntry& entry : section->entries) {
        const std::optional<tSettingKey> key = readSettingKey(entry.key);
        if (key) serials.emplace(key->serialNumber, false);
      }
    }
    for (const auto& [serial, present] : serials) {
      present_.samples.push_back({{{"serial", hexText(serial)}}, present ? 1.0 : 0.0});
    }
  }

  void lastRestore() {
    const std::optional<tRestoreRecord> record = readRestoreRecord(restoreRecordPath());
    setValue(recorded_, record ? 1 : 0);
    if (!record) return;
    setValue(success_, record->success ? 1 : 0);
    setValue(endedAt_, record->endedAt);
  }

  const tSettingsSource& source_;
  std::size_t differing_ = 0;
  tMetricFamily inSync_ = gauge(
      "tqvlkae_setting_in_sync",
      "1 when the port property holds the value a restore of the settings file would leave, 0 "
      "when it differs; one per property the entries restore would apply set");
  tMetricFamily refused_ =
      gauge("tqvlkae_setting_read_refused",
            "1 for a port property that the entries set and whose live value the driver refused "
            "to read (it has no tqvlkae_setting_in_sync sample)");
  tMetricFamily entries_ = gauge("tqvlkae_settings_entries",
                                 "Entries of the [PortSetting] section of the settings file");
  tMetricFamily outOfSync_ = gauge(
      "tqvlkae_settings_out_of_sync",
      "Port properties that differ from what a restore would leave, or whose value cannot be read");
  tMetricFamily present_ = gauge("tqvlkae_device_present",
                                 "1 when an AE device with this serial is present, 0 when the "
                                 "settings file names the serial and no device has it");
  tMetricFamily checkErrors_ =
      gauge("tqvlkae_settings_check_errors",
            "Errors that tqvlkaectl check --live finds in the settings file");
  tMetricFamily recorded_ =
      gauge("tqvlkae_last_restore_recorded",
            "1 when the boot unit recorded its last restore since the machine started, 0 when not");
  tMetricFamily success_ = gauge("tqvlkae_last_restore_success",
                                 "1 when the boot unit's last restore succeeded, 0 when it failed");
  tMetricFamily endedAt_ =
      gauge("tqvlkae_last_restore_timestamp_seconds",
            "When the boot unit's last restore ended, in seconds since the epoch");
  tMetricFamily takenAt_ = gauge("tqvlkae_metrics_timestamp_seconds",
                                 "When these metrics were taken, in seconds since the epoch");
};

}  // namespace

int runMetrics(const tMetricsOptions& options, std::ostream& out) {
  const tSettingsSource source = readSettingsSource(options.file);
  std::ostringstream text;
  writeExposition(text, tMetrics(source).take());
  if (options.output.empty()) {
    out << text.str();
  } else {
    replaceOutputFile(options.output, text.str());
  }
  return kCtlClean;
}

}  // namespace nTQVLKAET100
