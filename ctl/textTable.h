// The tables tqvlkaectl prints for people: a header row in capitals and the
// rows below it, every column as wide as its widest cell, two spaces
// between columns, the last column unpadded. A row may have more cells than
// the header. Every cell is shown as ctl/terminalText.h makes it safe, and
// shortened to kTerminalCellLimit.
#ifndef CTL_TEXTTABLE_H_
#define CTL_TEXTTABLE_H_

#include <ostream>
#include <string>
#include <vector>

namespace nTQVLKAET100 {

using tTableRow = std::vector<std::string>;

void writeTable(std::ostream& out, const tTableRow& header, const std::vector<tTableRow>& rows);

}  // namespace nTQVLKAET100

#endif  // CTL_TEXTTABLE_H_
