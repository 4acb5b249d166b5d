// SPDX-License-Identifier: MIT
#include "ctl/restoreRecord.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "ctl/exitStatus.h"
#include "productpath/cPath.h"
#include "productpath/cSysqWrapper.h"

namespace nTQVLKAET100 {

namespace {

constexpr const char* kRecordName = "last-restore";
// More than any record holds: a larger file is not one.
constexpr std::streamsize kMaxRecordBytes = 4096;

}  // namespace

std::string restoreRecordPath() {
  return vlpath::cSysqWrapper().getRunStateDir() + "/" + vlpath::kProductDirName + "/" +
         kRecordName;
}

std::optional<tRestoreRecord> readRestoreRecord(const std::string& path) {
  std::ifstream file(path);
  struct stat info {};
  if (!file || ::stat(path.c_str(), &info) != 0) {
    if (errno == ENOENT) return std::nullopt;
    throw tCtlTrouble(path + ": " + std::strerror(errno));
  }
  std::string text(static_cast<std::size_t>(kMaxRecordBytes), '\0');
  file.read(&text[0], kMaxRecordBytes);
  if (file.bad()) throw tCtlTrouble(path + ": " + std::strerror(EIO));
  text.resize(static_cast<std::size_t>(file.gcount()));
  std::optional<std::string> result;
  std::optional<std::string> exitStatus;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("result=", 0) == 0) result = line.substr(7);
    if (line.rfind("exit_status=", 0) == 0) exitStatus = line.substr(12);
  }
  if (!result) return std::nullopt;
  tRestoreRecord record;
  record.result = *result;
  record.success = *result == "success" && exitStatus && *exitStatus == "0";
  record.endedAt = static_cast<double>(info.st_mtim.tv_sec);
  return record;
}

}  // namespace nTQVLKAET100
