// SPDX-License-Identifier: MIT
#include "ctl/runLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "ctl/exitStatus.h"
#include "productpath/cPath.h"
#include "productpath/cSysqWrapper.h"

namespace nTQVLKAET100 {

namespace {

constexpr const char* kLockFileName = "apply.lock";
// How long a waiting program stays quiet before it says that it waits.
constexpr std::chrono::milliseconds kQuietWait{500};
constexpr std::chrono::milliseconds kPoll{25};

std::string runDirectory() {
  vlpath::cSysqWrapper wrapper;
  return wrapper.getRunStateDir() + "/" + vlpath::kProductDirName;
}

bool tryLock(int fd, const std::string& path) {
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) return false;
    if (errno != EINTR)
      throw tCtlTrouble(path + ": the lock cannot be taken: " + std::strerror(errno));
  }
  return true;
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
  do {
    fd_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  } while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0) throw tCtlTrouble(file + ": " + std::strerror(errno));
  try {
    lockOrWait(wait, err, file);
  } catch (...) {
    ::close(fd_);
    throw;
  }
}

void tRunLock::lockOrWait(bool wait, std::ostream& err, const std::string& file) {
  if (tryLock(fd_, file)) return;
  if (!wait) {
    throw tCtlTrouble(file + ": another apply or store holds the lock (--no-wait: not waiting)");
  }
  const auto quietUntil = std::chrono::steady_clock::now() + kQuietWait;
  while (std::chrono::steady_clock::now() < quietUntil) {
    std::this_thread::sleep_for(kPoll);
    if (tryLock(fd_, file)) return;
  }
  err << "tqvlkaectl: waiting for the lock on " << file << " held by another apply or store"
      << std::endl;
  while (::flock(fd_, LOCK_EX) != 0) {
    if (errno != EINTR) {
      throw tCtlTrouble(file + ": the lock cannot be taken: " + std::strerror(errno));
    }
  }
}

tRunLock::~tRunLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace nTQVLKAET100
