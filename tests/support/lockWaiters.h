// SPDX-License-Identifier: MIT
// Proof that a program waits for a flock lock, instead of a sleep that passes
// whether or not it waited: the kernel lists every waiting lock in
// /proc/locks, "->" before it, with the file's device and inode.
#ifndef TESTS_SUPPORT_LOCK_WAITERS_H_
#define TESTS_SUPPORT_LOCK_WAITERS_H_

#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

namespace tqtest {

// Whether a flock lock on the file at path is listed as waiting within
// timeout (polled).
inline bool lockWaiterAppears(const std::string& path,
                              std::chrono::seconds timeout = std::chrono::seconds(60)) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return false;
  const std::string inode = ":" + std::to_string(info.st_ino) + " ";
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  do {
    std::ifstream locks("/proc/locks");
    for (std::string line; std::getline(locks, line);) {
      if (line.find("-> FLOCK") != std::string::npos && line.find(inode) != std::string::npos)
        return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  } while (std::chrono::steady_clock::now() < deadline);
  return false;
}

}  // namespace tqtest

#endif  // TESTS_SUPPORT_LOCK_WAITERS_H_
