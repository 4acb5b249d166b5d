// SPDX-License-Identifier: MIT
// Reading what a run left behind (outputs, logs, files the tool or a
// preloaded library wrote): the whole of a file, or its lines. A file that
// cannot be read reads as empty, which the test's own expectation then
// reports.
#ifndef TESTS_SUPPORT_FILES_H_
#define TESTS_SUPPORT_FILES_H_

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace tqtest {

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The lines of the file, without their line ends.
inline std::vector<std::string> readLines(const std::string& path) {
  std::vector<std::string> lines;
  std::istringstream in(readFile(path));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace tqtest

#endif  // TESTS_SUPPORT_FILES_H_
