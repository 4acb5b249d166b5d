// SPDX-License-Identifier: MIT
#include "ctl/settingsSource.h"

#include <exception>
#include <new>

#include "ctl/exitStatus.h"
#include "ctl/propertyText.h"
#include "settings/loadSettingsFile.h"
#include "settings/restoreSettings.h"

namespace nTQVLKAET100 {

tSettingsSource readSettingsSource(const std::string& file, bool mayBeMissing) {
  tSettingsSource source;
  source.path = file.empty() ? settingsFilePath() : file;
  try {
    source.bytes = readSettingsBytes(source.path);
  } catch (const std::bad_alloc&) {
    throw;
  } catch (...) {
    throw tCtlTrouble(source.path + ": " + restoreReport(std::current_exception()));
  }
  if (!source.bytes) {
    if (!file.empty() && !mayBeMissing) throw tCtlTrouble(file + ": No such file or directory");
    return source;
  }
  source.lines = readSettingsLines(source.bytes->data(), source.bytes->size());
  return source;
}

const tSettingsSection* portSettings(const tSettingsLines& lines) {
  return lines.section(kPortSettingSection);
}

}  // namespace nTQVLKAET100
