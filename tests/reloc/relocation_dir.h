// SPDX-License-Identifier: MIT
// Test helper: moves installation directories of a tool started by a test,
// through the real relocation library.
//
// makeRelocationDir(dir, {{"sharedstatedir", "/tmp/x/state"}}) copies the
// built libtqrelocations.so.0 into dir, writes dir/tqrelocations.conf with
// one "key = directory" line per entry, and returns the LD_LIBRARY_PATH
// value to run the tool with (dir itself). Keys not given keep their
// built-in defaults. Directories should be absolute; a relative one is
// resolved by the library against the parent of dir.
//
// Needs TQ_RELOCATION_LIBRARY (the built library's path), which
// tests/reloc/CMakeLists.txt defines for the test program.
#ifndef TESTS_RELOC_RELOCATION_DIR_H_
#define TESTS_RELOC_RELOCATION_DIR_H_

#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>

namespace tqtest {

inline std::string makeRelocationDir(const std::string& dir,
                                     const std::map<std::string, std::string>& dirs) {
  namespace fs = std::filesystem;
  fs::copy_file(TQ_RELOCATION_LIBRARY, fs::path(dir) / "libtqrelocations.so.0",
                fs::copy_options::overwrite_existing);
  std::ofstream config(fs::path(dir) / "tqrelocations.conf");
  for (const auto& [key, value] : dirs) {
    if (key.find_first_of("=\n") != std::string::npos || value.find('\n') != std::string::npos ||
        key.empty() || value.empty()) {
      throw std::invalid_argument("relocation entry cannot be written: " + key);
    }
    config << key << " = " << value << "\n";
  }
  if (!config) throw std::runtime_error("cannot write " + dir + "/tqrelocations.conf");
  return dir;
}

}  // namespace tqtest

#endif  // TESTS_RELOC_RELOCATION_DIR_H_
