// SPDX-License-Identifier: MIT
#include "ctl/store.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <new>
#include <sstream>
#include <string>
#include <vector>

#include "ctl/check.h"
#include "ctl/exitStatus.h"
#include "ctl/liveValue.h"
#include "ctl/propertyText.h"
#include "ctl/settingsSource.h"
#include "device/aeDevices.h"
#include "device/aeProperties.h"
#include "settings/loadSettingsFile.h"
#include "settings/replaceSettingsFile.h"
#include "settings/storeRewrite.h"
#include "settings/unifiedDiff.h"
#include "tqapal/tStatus.h"

namespace nTQVLKAET100 {

namespace {

// A file that changes between our read and our lock is read again; one that
// keeps changing is trouble.
constexpr int kWriteAttempts = 5;

std::string keyOf(std::uint32_t serial, std::uint32_t port, std::uint32_t propertyId) {
  return hexText(serial) + "_" + std::to_string(port) + "_" + findAeProperty(propertyId)->name;
}

class tStore {
 public:
  explicit tStore(const tStoreOptions& options) : options_(options) {}

  int run(std::ostream& out) {
    if (!capture(out)) return kCtlFound;
    for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
      tSettingsSource source = readSettingsSource(options_.file, true);
      const std::string old = source.bytes.value_or(std::string());
      std::ostringstream findings;
      if (runCheck({source.path, false, false}, source, findings) != kCtlClean) {
        out << findings.str() << source.path
            << ": store refuses a file with errors; nothing written\n";
        return kCtlFound;
      }
      const tStoreRewrite rewrite = rewriteSettings(old, captured_);
      if (rewrite.refusal != tRewriteRefusal::kNone) {
        out << source.path << ": " << refusalText(rewrite.refusal) << "; nothing written\n";
        return kCtlFound;
      }
      if (attempt == 0) writeLeftOut(out, rewrite);
      if (rewrite.bytes == old) {
        out << source.path << ": " << summary(rewrite, "already stored: nothing to change") << '\n';
        return kCtlClean;
      }
      if (options_.dryRun) {
        out << unifiedDiff(old, rewrite.bytes, source.path, source.path) << source.path << ": "
            << summary(rewrite, "would be stored (dry run: nothing written)") << '\n';
        return kCtlClean;
      }
      if (replace(source.path, old, rewrite.bytes)) {
        out << source.path << ": " << summary(rewrite, "stored") << '\n';
        return kCtlClean;
      }
    }
    throw tCtlTrouble(settingsPath() + ": the file keeps changing while it is stored");
  }

 private:
  // Reads every value; false (with the refusals written) when the driver
  // refuses one.
  bool capture(std::ostream& out) {
    std::vector<tAeDevice> devices;
    nTQAPAL000::tStatus status;
    listAeDevices(devices, status);
    nTQAPAL000::throwIfFatal(status);
    bool complete = true;
    for (const std::uint32_t serial : options_.serials) {
      if (std::none_of(devices.begin(), devices.end(),
                       [&](const tAeDevice& device) { return device.serial == serial; })) {
        out << "no AE device has serial " << hexText(serial) << '\n';
        complete = false;
      }
    }
    for (const tAeDevice& device : devices) {
      if (!options_.serials.empty() && std::find(options_.serials.begin(), options_.serials.end(),
                                                 device.serial) == options_.serials.end()) {
        continue;
      }
      const std::vector<tLiveValue> values = readDeviceValues(device);
      for (std::size_t i = 0; i < values.size(); ++i) {
        const std::uint32_t port = static_cast<std::uint32_t>(i / kAePropertyCount);
        const tAeProperty& property = kAeProperties[i % kAePropertyCount];
        const tLiveValue& live = values[i];
        if (!live.read) {
          // Never stored, so its refusal leaves nothing half-captured.
          if (property.id == kPropertyForceLinkDisable) continue;
          out << keyOf(device.serial, port, property.id)
              << ": the driver refuses to read it: " << live.report << '\n';
          complete = false;
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
    if (!complete) out << settingsPath() << ": nothing written\n";
    return complete;
  }

  static const char* refusalText(tRewriteRefusal refusal) {
    switch (refusal) {
      case tRewriteRefusal::kSyntaxError:
        return "the INI reader rejects the file (tqvlkaectl check shows why)";
      case tRewriteRefusal::kZeroByte:
        return "the file holds a zero byte, after which restore reads nothing";
      case tRewriteRefusal::kSectionNameTaken:
        return "an entry named PortSetting stands before every section, where the section "
               "would be added";
      case tRewriteRefusal::kNone:
        break;
    }
    return "";
  }

  static void writeLeftOut(std::ostream& out, const tStoreRewrite& rewrite) {
    for (const tLeftOutValue& left : rewrite.leftOut) {
      out << keyOf(left.value.serialNumber, left.value.port, left.value.propertyId)
          << ": left out: " << left.reason << '\n';
    }
    if (rewrite.forceLinkDisableLeftOut) {
      out << "forcelinkdisable is not stored: restore clears it on every port after the "
             "entries\n";
    }
  }

  std::string summary(const tStoreRewrite& rewrite, const char* what) const {
    std::size_t forceLinkDisable = 0;
    for (const tCapturedValue& value : captured_) {
      if (value.propertyId == kPropertyForceLinkDisable) ++forceLinkDisable;
    }
    const std::size_t stored = captured_.size() - forceLinkDisable - rewrite.leftOut.size();
    std::string text = std::to_string(stored) + (stored == 1 ? " value " : " values ") + what;
    if (!rewrite.leftOut.empty())
      text += ", " + std::to_string(rewrite.leftOut.size()) + " left out";
    return text;
  }

  bool replace(const std::string& path, const std::string& old, const std::string& bytes) {
    try {
      return replaceSettingsFile(path, old, bytes);
    } catch (const std::bad_alloc&) {
      throw;
    } catch (...) {
      throw tCtlTrouble(path + ": " + restoreReport(std::current_exception()) +
                        " (the file holds its old or its new content whole)");
    }
  }

  std::string settingsPath() const {
    return options_.file.empty() ? settingsFilePath() : options_.file;
  }

  const tStoreOptions& options_;
  std::vector<tCapturedValue> captured_;
};

}  // namespace

int runStore(const tStoreOptions& options, std::ostream& out) {
  return tStore(options).run(out);
}

}  // namespace nTQVLKAET100
