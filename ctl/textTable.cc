#include "ctl/textTable.h"

#include <algorithm>
#include <cstddef>

#include "ctl/terminalText.h"

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

tTableRow shown(const tTableRow& row) {
  tTableRow cells;
  for (const std::string& cell : row) cells.push_back(terminalText(cell, kTerminalCellLimit));
  return cells;
}

}  // namespace

void writeTable(std::ostream& out, const tTableRow& header, const std::vector<tTableRow>& rows) {
  std::vector<tTableRow> cells{shown(header)};
  for (const tTableRow& row : rows) cells.push_back(shown(row));
  std::vector<std::size_t> widths;
  for (const tTableRow& row : cells) {
    if (widths.size() < row.size()) widths.resize(row.size(), 0);
    for (std::size_t column = 0; column < row.size(); ++column) {
      widths[column] = std::max(widths[column], row[column].size());
    }
  }
  for (const tTableRow& row : cells) writeRow(out, row, widths);
}

}  // namespace nTQVLKAET100
