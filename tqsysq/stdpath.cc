// SPDX-License-Identifier: MIT
#include "tqsysq/stdpath.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "error/Exception.h"
#include "error/errnoDetail.h"
#include "error/json.h"
#include "tqapal/errors.h"
#include "tqapal/posixCalls.h"
#include "tqapal/tStatus.h"
#include "tqsysq/relocation.h"
#include "tqsysq/stdpath_util.h"

namespace tqsysq {

namespace {

using nTQVLKAET100::nTQAPAL000::kComponentTool;

const tqerr::ErrorLocation kPasswordLookup = {"tqsysq/stdpath", 337, kComponentTool,
                                              "tqapalerr_resourceNotFound"};
const tqerr::ErrorLocation kTempNameFailed = {"tqsysq/stdpath", 402, kComponentTool,
                                              "tqapalerr_osFault"};

void recordLookupFailure(tqerr::JsonStatus& status, int errnoValue, const char* desc) {
  if (!tqerr::recordAt(status, tqapalerr_resourceNotFound, kPasswordLookup)) return;
  tqerr::appendErrnoDetail(status, errnoValue);
  char* at = tqerr::reserve(status, 2);
  at = tqerr::json::appendObject(at, "tqsysq_debug", tqerr::grower(status));
  tqerr::json::appendString(at, "desc", desc, tqerr::grower(status));
}

// Home directory of the real user from the password database; false (with
// the failure recorded) when there is none.
bool passwordHome(std::string& home, tqerr::JsonStatus& status) {
  struct passwd entry;
  struct passwd* found = nullptr;
  char strings[1024];
  const int failure = getpwuid_r(getuid(), &entry, strings, sizeof strings, &found);
  if (failure != 0) {
    recordLookupFailure(status, failure, "getpwuid_r failed");
    return false;
  }
  if (found == nullptr || found->pw_dir == nullptr) {
    // No entry for this user: nothing to use, reported as a failed lookup.
    recordLookupFailure(status, ENOENT, "getpwuid_r found no entry");
    return false;
  }
  home = found->pw_dir;
  return true;
}

// Runs routine with a fresh status and throws when it failed.
template <typename Routine>
std::string answer(Routine routine) {
  tqerr::JsonStatus status;
  std::string result;
  try {
    result = routine(status);
  } catch (const std::bad_alloc&) {
    recordMemoryFull(status);
  }
  tqerr::throwIfFailed(status);
  return result;
}

std::string relocated(const char* key) {
  return answer([key](tqerr::JsonStatus& status) {
    std::string dir;
    processRelocationTable().lookup(key, dir, status);
    return dir;
  });
}

}  // namespace

std::string shareDirFrom(const char* pointerFile) {
  tqerr::JsonStatus reading;
  ByteBuffer content;
  readWholeFile(pointerFile, content, reading);
  const bool failed = reading.code != 0;
  tqerr::release(reading);
  if (failed) return kDefaultShareDir;
  std::string dir(content.begin(), content.end());
  trimPath(dir);
  return dir;
}

std::string tempDir() {
  const char* value = std::getenv("TMPDIR");
  return value != nullptr ? std::string(value) : std::string("/tmp");
}

std::string userConfigDir(bool create, tqerr::JsonStatus& status) {
  if (status.code < 0) return std::string();
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME")) {
    std::string dir = xdg;
    trimPath(dir);
    if (create) makeDirectories(dir.c_str(), makeDirectory, status, nullptr);
    return dir;
  }
  std::string home;
  if (const char* value = std::getenv("HOME")) {
    home = value;
  } else if (!passwordHome(home, status)) {
    return std::string();
  }
  trimPath(home);
  std::string dir = home + "/.config";
  if (create) makeDirectory(dir.c_str(), status, nullptr);
  return dir;
}

std::string tempFileName(tqerr::JsonStatus& status) {
  if (status.code < 0) return std::string();
  // Created exclusively (mode 0600), so that the name is the caller's: a
  // name that is only free when asked for can be taken, or planted as a
  // link, by another before the caller opens it.
  std::string name = std::string(P_tmpdir) + "/fileXXXXXX";
  const int fd = ::mkostemp(&name[0], O_CLOEXEC);
  if (fd < 0) {
    nTQVLKAET100::nTQAPAL000::recordErrnoDetail(status, tqapalerr_osFault, kTempNameFailed);
    char* at = tqerr::reserve(status, 2);
    at = tqerr::json::appendObject(at, "tqsysq_debug", tqerr::grower(status));
    tqerr::json::appendString(at, "desc", "mkstemp failed", tqerr::grower(status));
    return std::string();
  }
  ::close(fd);
  return name;
}

SysqWrapper::~SysqWrapper() {}

std::string SysqWrapper::getRunDir() {
  return answer([](tqerr::JsonStatus&) { return std::string("/var/run"); });
}
std::string SysqWrapper::getLocalVarDir() {
  return answer([](tqerr::JsonStatus&) { return std::string("/var/local/zorbtek"); });
}
std::string SysqWrapper::getShareDir() {
  return answer([](tqerr::JsonStatus&) { return shareDirFrom(kSharePointerFile); });
}
std::string SysqWrapper::getShareDataDir() {
  return answer([](tqerr::JsonStatus&) { return shareDirFrom(kSharePointerFile); });
}
std::string SysqWrapper::getTempDir() {
  return answer([](tqerr::JsonStatus&) { return tempDir(); });
}
std::string SysqWrapper::getUserConfigDir(bool create) {
  return answer([create](tqerr::JsonStatus& status) { return userConfigDir(create, status); });
}
std::string SysqWrapper::getTempFileName() {
  return answer(tempFileName);
}

SysqWrapper_Linux::~SysqWrapper_Linux() {}

std::string SysqWrapper_Linux::getPrefixDir() {
  return relocated("prefixdir");
}
std::string SysqWrapper_Linux::getExecPrefixDir() {
  return relocated("execprefixdir");
}
std::string SysqWrapper_Linux::getBinDir() {
  return relocated("bindir");
}
std::string SysqWrapper_Linux::getSbinDir() {
  return relocated("sbindir");
}
std::string SysqWrapper_Linux::getLibDir() {
  return relocated("libdir");
}
std::string SysqWrapper_Linux::getLib32Dir() {
  return relocated("lib32dir");
}
std::string SysqWrapper_Linux::getLib64Dir() {
  return relocated("lib64dir");
}
std::string SysqWrapper_Linux::getNativeLibDir() {
  return relocated("nativelibdir");
}
std::string SysqWrapper_Linux::getMultiarchLibDir() {
  return relocated("multiarchlibdir");
}
std::string SysqWrapper_Linux::getLibexecDir() {
  return relocated("libexecdir");
}
std::string SysqWrapper_Linux::getSharedStateDir() {
  return relocated("sharedstatedir");
}
std::string SysqWrapper_Linux::getDataRootDir() {
  return relocated("datarootdir");
}
std::string SysqWrapper_Linux::getDataDir() {
  return relocated("datadir");
}
std::string SysqWrapper_Linux::getSysconfDir() {
  return relocated("sysconfdir");
}
std::string SysqWrapper_Linux::getLocalStateDir() {
  return relocated("localstatedir");
}
std::string SysqWrapper_Linux::getRunStateDir() {
  return relocated("runstatedir");
}
std::string SysqWrapper_Linux::getIncludeDir() {
  return relocated("includedir");
}
std::string SysqWrapper_Linux::getDocDir() {
  return relocated("docdir");
}
std::string SysqWrapper_Linux::getInitdDir() {
  return relocated("initddir");
}

}  // namespace tqsysq
