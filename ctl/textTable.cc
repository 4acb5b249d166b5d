// SPDX-License-Identifier: MIT
#include "ctl/textTable.h"

#include <algorithm>
#include <cstddef>

namespace nTQVLKAET100 {

namespace {

void writeRow(std::ostream& out, const tTableRow& row, const std::vector<std::size_t>& widths) {
  std::size_t last = row.size();
  while (last > 0 && row[last - 1].empty()) --last;  // no trailing blanks
  for (std::size_t column = 0; column < last; ++column) {
    out << row[column];
    if (column + 1 < last) out << std::string(widths[column] - row[column].size() + 2, ' ');
  }
  out << '\n';
}

}  // namespace

void writeTable(std::ostream& out, const tTableRow& header, const std::vector<tTableRow>& rows) {
  std::vector<std::size_t> widths(header.size(), 0);
  for (std::size_t column = 0; column < header.size(); ++column) {
    widths[column] = header[column].size();
    for (const tTableRow& row : rows) {
      if (column < row.size()) widths[column] = std::max(widths[column], row[column].size());
    }
  }
  writeRow(out, header, widths);
  for (const tTableRow& row : rows) writeRow(out, row, widths);
}

}  // namespace nTQVLKAET100
