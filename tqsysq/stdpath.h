// SPDX-License-Identifier: MIT
// tqsysq: where each kind of file lives on this machine.
//
// SysqWrapper answers the fixed and environment-driven directories (run,
// local data, share, temporary, per-user configuration) and a temporary file
// name; SysqWrapper_Linux answers the 19 relocatable installation
// directories. Both hold no data and compute every answer afresh (the
// relocation table excepted, which is built once per process). Each
// operation returns its text or throws tqerr::Exception carrying the failed
// status; the routines below record into a JsonStatus and never throw.
#ifndef TQSYSQ_STDPATH_H_
#define TQSYSQ_STDPATH_H_

#include <string>

#include "error/JsonStatus.h"

namespace tqsysq {

// The one-line file that can move the share directory.
inline constexpr const char* kSharePointerFile = "/etc/zorbtek/share/share.dir";
inline constexpr const char* kDefaultShareDir = "/usr/local/zorbtek/share";

class SysqWrapper {
 public:
  virtual ~SysqWrapper();
  virtual std::string getRunDir();
  virtual std::string getLocalVarDir();
  virtual std::string getShareDir();
  virtual std::string getShareDataDir();
  virtual std::string getTempDir();
  virtual std::string getUserConfigDir(bool create);
  virtual std::string getTempFileName();
};

class SysqWrapper_Linux {
 public:
  virtual ~SysqWrapper_Linux();
  virtual std::string getPrefixDir();
  virtual std::string getExecPrefixDir();
  virtual std::string getBinDir();
  virtual std::string getSbinDir();
  virtual std::string getLibDir();
  virtual std::string getLib32Dir();
  virtual std::string getLib64Dir();
  virtual std::string getNativeLibDir();
  virtual std::string getMultiarchLibDir();
  virtual std::string getLibexecDir();
  virtual std::string getSharedStateDir();
  virtual std::string getDataRootDir();
  virtual std::string getDataDir();
  virtual std::string getSysconfDir();
  virtual std::string getLocalStateDir();
  virtual std::string getRunStateDir();
  virtual std::string getIncludeDir();
  virtual std::string getDocDir();
  virtual std::string getInitdDir();
};

// The share directory named by pointerFile (trimmed content), or the default
// when the file cannot be read. Never fails.
std::string shareDirFrom(const char* pointerFile);

// TMPDIR when set (even empty), else "/tmp".
std::string tempDir();

// XDG_CONFIG_HOME (trimmed), else the home directory (HOME, else the
// password database) followed by "/.config". With create, the directory is
// made: the whole XDG chain, but only the last level under a home directory.
std::string userConfigDir(bool create, tqerr::JsonStatus& status);

// A fresh name below P_tmpdir whose empty file (mode 0600) this call created
// exclusively, so that no other program can take or plant it; the caller
// removes it. -52008 when none can be made.
std::string tempFileName(tqerr::JsonStatus& status);

}  // namespace tqsysq

#endif  // TQSYSQ_STDPATH_H_
