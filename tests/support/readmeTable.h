// SPDX-License-Identifier: MIT
// readmeTable: a table of the project's README.md, found by its header row,
// so that a test can hold the documented table against the code and the
// two cannot drift apart. Each row is its cells, trimmed; a cell made of
// code spans (`a` <br> `b`) gives their texts joined by newlines.
#ifndef TESTS_SUPPORT_README_TABLE_H_
#define TESTS_SUPPORT_README_TABLE_H_

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace tqtest {

inline std::string readmeCell(std::string cell) {
  const auto first = cell.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  cell = cell.substr(first, cell.find_last_not_of(' ') - first + 1);
  if (cell.empty() || cell.front() != '`') return cell;
  std::string text;
  for (std::size_t open = cell.find('`'); open != std::string::npos;) {
    const std::size_t close = cell.find('`', open + 1);
    if (close == std::string::npos) break;
    if (!text.empty()) text += '\n';
    text += cell.substr(open + 1, close - open - 1);
    open = cell.find('`', close + 1);
  }
  return text;
}

// The rows below header (the whole header line, e.g. "| code | name |") in
// file (the project's README.md unless named); empty when it has no such
// table.
inline std::vector<std::vector<std::string>> readmeTable(const std::string& header,
                                                         const char* file = TQ_README) {
  std::ifstream in(file);
  std::vector<std::vector<std::string>> rows;
  std::string line;
  while (std::getline(in, line) && line != header) {
  }
  std::getline(in, line);  // the |---| line
  while (std::getline(in, line) && line.size() > 1 && line.front() == '|') {
    std::vector<std::string> cells;
    std::istringstream split(line.substr(1, line.size() - 2));
    for (std::string cell; std::getline(split, cell, '|');) cells.push_back(readmeCell(cell));
    rows.push_back(cells);
  }
  return rows;
}

}  // namespace tqtest

#endif  // TESTS_SUPPORT_README_TABLE_H_
