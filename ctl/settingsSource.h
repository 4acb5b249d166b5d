// SPDX-License-Identifier: MIT
// The settings file that check and diff read: the one named on the command
// line, or by default the file restore reads (settings/loadSettingsFile.h:
// the same path, relocations included, the same bytes under the same lock),
// and its text as the line-aware reader sees it.
//
// A missing default file is not trouble: restore then applies no entry. A
// named file that is missing, or any file that cannot be read, is trouble:
// readSettingsSource throws, with the path in the message.
#ifndef CTL_SETTINGSSOURCE_H_
#define CTL_SETTINGSSOURCE_H_

#include <optional>
#include <ostream>
#include <string>

#include "settings/settingsLines.h"
#include "tqapal/posixCalls.h"

namespace nTQVLKAET100 {

struct tSettingsSource {
  std::string path;
  std::optional<std::string> bytes;  // nullopt: the default file is missing
  tSettingsLines lines;              // empty when there are no bytes
};

// file: the path given on the command line, empty for the default. With
// mayBeMissing a missing named file is no trouble either (store creates it).
tSettingsSource readSettingsSource(const std::string& file, bool mayBeMissing = false);

// The same, saying on notices when another program's lock on the file keeps
// the read waiting for more than a moment.
tSettingsSource readSettingsSource(const std::string& file, std::ostream& notices,
                                   bool mayBeMissing = false);

// What a companion command says on notices when another program holds the
// lock on the settings file at path for more than a moment.
nTQAPAL000::tLockWaitNotice settingsLockNotice(const std::string& path, std::ostream& notices);

// Replaces the file at path with bytes under its lock
// (settings/replaceSettingsFile.h), provided it still holds old; false when
// it held other bytes (nothing written: read it again). Says on notices when
// another program's lock keeps it waiting. Throws tCtlTrouble, with the path,
// when the replacement fails.
bool replaceSettingsSource(const std::string& path, const std::string& old,
                           const std::string& bytes, std::ostream& notices);

// The section restore reads, as the reader keeps it, or null.
const tSettingsSection* portSettings(const tSettingsLines& lines);

}  // namespace nTQVLKAET100

#endif  // CTL_SETTINGSSOURCE_H_
