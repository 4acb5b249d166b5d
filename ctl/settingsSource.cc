// SPDX-License-Identifier: MIT
#include "ctl/settingsSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "ctl/exitStatus.h"
#include "ctl/terminalText.h"
#include "restore/failure.h"
#include "settings/loadSettingsFile.h"
#include "settings/portSettingSection.h"
#include "settings/replaceSettingsFile.h"

namespace nTQVLKAET100 {

namespace {

// Why the file at path cannot be read, in the C library's words ("Is a
// directory", "Permission denied"); empty when it reads (the failure was
// another, the lock say).
std::string unreadableReason(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::strerror(errno);
  struct stat st {};
  int error = 0;
  char byte = 0;
  if (::fstat(fd, &st) != 0) {
    error = errno;
  } else if (S_ISDIR(st.st_mode)) {
    error = EISDIR;
  } else if (::read(fd, &byte, 1) < 0) {
    error = errno;
  }
  ::close(fd);
  return error != 0 ? std::strerror(error) : std::string();
}

tSettingsSource readSource(const std::string& file, std::ostream* notices, bool mayBeMissing) {
  tSettingsSource source;
  source.path = file.empty() ? settingsFilePath() : file;
  const nTQAPAL000::tLockWaitNotice notice =
      notices != nullptr ? settingsLockNotice(source.path, *notices) : nullptr;
  const std::optional<tRestoreFailure> failure =
      captureFailure([&] { source.bytes = readSettingsBytes(source.path, notice); });
  if (failure) {
    const std::string reason = unreadableReason(source.path);
    throw tCtlTrouble(source.path + ": " + (reason.empty() ? failure->report : reason));
  }
  if (!source.bytes) {
    if (!file.empty() && !mayBeMissing) throw tCtlTrouble(file + ": No such file or directory");
    return source;
  }
  source.lines = readSettingsLines(source.bytes->data(), source.bytes->size());
  return source;
}

}  // namespace

nTQAPAL000::tLockWaitNotice settingsLockNotice(const std::string& path, std::ostream& notices) {
  return [path, &notices] {
    notices << "tqvlkaectl: waiting for the lock on " << terminalText(path)
            << " held by another program" << std::endl;
  };
}

tSettingsSource readSettingsSource(const std::string& file, bool mayBeMissing) {
  return readSource(file, nullptr, mayBeMissing);
}

tSettingsSource readSettingsSource(const std::string& file, std::ostream& notices,
                                   bool mayBeMissing) {
  return readSource(file, &notices, mayBeMissing);
}

bool replaceSettingsSource(const std::string& path, const std::string& old,
                           const std::string& bytes, std::ostream& notices) {
  bool replaced = false;
  const std::optional<tRestoreFailure> failure = captureFailure([&] {
    replaced = replaceSettingsFile(path, old, bytes, settingsLockNotice(path, notices)) ==
               tReplaceResult::kReplaced;
  });
  if (failure) {
    throw tCtlTrouble(path + ": " + failure->report +
                      " (the file holds its old or its new content whole)");
  }
  return replaced;
}

const tSettingsSection* portSettings(const tSettingsLines& lines) {
  return lines.section(kPortSettingSection);
}

}  // namespace nTQVLKAET100
