// SPDX-License-Identifier: MIT
#include "sim/state.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>
#include <utility>

namespace tqsim {
namespace {

// The system calls themselves: the simulator's wrappers of open, read,
// write, flock and close would count these calls against a bench's faults.
int sysOpen(const std::string& path, int flags) {
  return static_cast<int>(syscall(SYS_openat, AT_FDCWD, path.c_str(), flags | O_CLOEXEC, 0644));
}

void sysClose(int fd) {
  syscall(SYS_close, fd);
}

long retried(long (*call)(int, void*, std::size_t), int fd, void* data, std::size_t length) {
  long n;
  do {
    n = call(fd, data, length);
  } while (n < 0 && errno == EINTR);
  return n;
}

long sysRead(int fd, void* data, std::size_t length) {
  return syscall(SYS_read, fd, data, length);
}

long sysWrite(int fd, void* data, std::size_t length) {
  return syscall(SYS_write, fd, data, length);
}

bool sysLock(int fd) {
  long rc;
  do {
    rc = syscall(SYS_flock, fd, LOCK_EX);
  } while (rc != 0 && errno == EINTR);
  return rc == 0;
}

const char kHeader[] =
    "# The values the simulated driver holds (sim/README.md); remove this file to reset the "
    "bench.\n";

}  // namespace

StateFile::StateFile(std::string path) : path_(std::move(path)) {}

StateFile::~StateFile() {
  if (lock_ >= 0) sysClose(lock_);  // closing the last descriptor lets go of the lock
}

bool StateFile::load(const Bench& bench, Values& values, std::string& error) {
  if (lock_ < 0) {
    lock_ = sysOpen(path_ + ".lock", O_RDWR | O_CREAT);
    if (lock_ < 0 || !sysLock(lock_)) {
      error = "cannot lock the state file " + path_ + ".lock: " + std::strerror(errno);
      if (lock_ >= 0) sysClose(lock_);
      lock_ = -1;
      return false;
    }
  }
  const int fd = sysOpen(path_, O_RDONLY);
  if (fd < 0 && errno == ENOENT) {
    values = bench.values;
    return save(values, error);
  }
  std::string text;
  long n = fd < 0 ? -1 : 0;
  char buffer[4096];
  while (fd >= 0 && (n = retried(sysRead, fd, buffer, sizeof buffer)) > 0)
    text.append(buffer, static_cast<std::size_t>(n));
  const int readError = errno;
  if (fd >= 0) sysClose(fd);
  if (n < 0) {
    error = "cannot read the state file " + path_ + ": " + std::strerror(readError);
    return false;
  }
  if (!parseValues(text, bench, "state file " + path_, values, error)) {
    error += " (remove the file to reset the bench)";
    return false;
  }
  return true;
}

bool StateFile::save(const Values& values, std::string& error) {
  if (lock_ < 0) {
    error = "the state file " + path_ + " is written only under its lock";
    return false;
  }
  std::string text = kHeader;
  for (const auto& [key, bytes] : values)
    text += valueLine(std::get<0>(key), std::get<1>(key), std::get<2>(key), bytes) + "\n";
  const std::string fresh = path_ + ".new";
  const int fd = sysOpen(fresh, O_WRONLY | O_CREAT | O_TRUNC);
  bool ok = fd >= 0;
  for (std::size_t done = 0; ok && done < text.size();) {
    const long n = retried(sysWrite, fd, &text[done], text.size() - done);
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  const int writeError = errno;
  if (fd >= 0) sysClose(fd);
  if (ok && ::rename(fresh.c_str(), path_.c_str()) == 0) return true;
  error = "cannot write the state file " + path_ + ": " + std::strerror(ok ? errno : writeError);
  ::unlink(fresh.c_str());
  return false;
}

}  // namespace tqsim
