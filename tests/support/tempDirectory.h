// SPDX-License-Identifier: MIT
// tempDirectory: a scoped temporary directory for tests that work on real
// files. Created below $TMPDIR (or /tmp) when constructed, removed with all
// its content when destroyed.
#ifndef TESTS_SUPPORT_TEMPDIRECTORY_H_
#define TESTS_SUPPORT_TEMPDIRECTORY_H_

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <system_error>

namespace tqtest {

class tTempDirectory {
 public:
  tTempDirectory() {
    const char* base = getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != 0 ? base : "/tmp") + "/tqtest.XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~tTempDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  tTempDirectory(const tTempDirectory&) = delete;
  tTempDirectory& operator=(const tTempDirectory&) = delete;

  const std::string& path() const { return path_; }

  // Writes content to path()/relative, creating the parent directories;
  // returns the full path.
  std::string writeFile(const std::string& relative, const std::string& content) const {
    const std::filesystem::path full = std::filesystem::path(path_) / relative;
    std::filesystem::create_directories(full.parent_path());
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) throw std::runtime_error("cannot write " + full.string());
    return full.string();
  }

  // Creates path()/relative and its parents; returns the full path.
  std::string makeDirectory(const std::string& relative) const {
    const std::filesystem::path full = std::filesystem::path(path_) / relative;
    std::filesystem::create_directories(full);
    return full.string();
  }

 private:
  std::string path_;
};

}  // namespace tqtest

#endif  // TESTS_SUPPORT_TEMPDIRECTORY_H_
