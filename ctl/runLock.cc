// SPDX-License-Identifier: MIT
#include "ctl/runLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "ctl/exitStatus.h"
#include "productpath/cPath.h"
#include "productpath/cSysqWrapper.h"
#include "tqapal/posixCalls.h"

namespace nTQVLKAET100 {

namespace {

constexpr const char* kLockFileName = "apply.lock";

std::string runDirectory() {
  vlpath::cSysqWrapper wrapper;
  return wrapper.getRunStateDir() + "/" + vlpath::kProductDirName;
}

}  // namespace

std::string tRunLock::path() {
  return runDirectory() + "/" + kLockFileName;
}

tRunLock::tRunLock(bool wait, std::ostream& err) {
  const std::string file = path();
  try {
    vlpath::cSysqWrapper().createDirectories(runDirectory().c_str(), nullptr);
  } catch (const std::exception& error) {
    throw tCtlTrouble(runDirectory() + ": the directory cannot be made: " + error.what());
  }
  fd_.reset(nTQAPAL000::retryInterrupted(
      [&] { return ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644); }));
  if (fd_.get() < 0) throw tCtlTrouble(file + ": " + std::strerror(errno));
  lockOrWait(wait, err, file);
}

void tRunLock::lockOrWait(bool wait, std::ostream& err, const std::string& file) {
  const int locked =
      wait ? nTQAPAL000::flockWaiting(fd_.get(), LOCK_EX,
                                      [&] {
                                        err << "tqvlkaectl: waiting for the lock on " << file
                                            << " held by another apply or store" << std::endl;
                                      })
           : nTQAPAL000::retryInterrupted([&] { return ::flock(fd_.get(), LOCK_EX | LOCK_NB); });
  if (locked == 0) return;
  if (errno == EWOULDBLOCK) {
    throw tCtlTrouble(file + ": another apply or store holds the lock (--no-wait: not waiting)");
  }
  throw tCtlTrouble(file + ": the lock cannot be taken: " + std::strerror(errno));
}

}  // namespace nTQVLKAET100
