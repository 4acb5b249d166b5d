// Text that tqvlkaectl prints for people, made safe for a terminal. Keys,
// values and file names come from settings files and the driver: a key can
// hold ESC [ 2 J, which clears the screen, or an OSC sequence, which sets
// the window title, and a value can be 100 KB long. The text output shows
// them escaped and shortened; the JSON output keeps them exact.
//
// What it promises:
// - printable ASCII and valid UTF-8 sequences of printable characters are
//   copied;
// - every control character (0x00..0x1F, 0x7F, and the C1 controls U+0080..
//   U+009F) and every byte that is not part of a valid UTF-8 sequence is
//   written as "\xNN" (lower-case hexadecimal, each byte of a C1 control),
//   so no byte that a terminal acts on reaches it;
// - a text longer than the limit keeps its head and tail, each of up to half
//   the limit of the escaped text and never cut inside an escape or a UTF-8
//   sequence, and says in between how many bytes it left out:
//   "[... 99744 bytes ...]".
#ifndef CTL_TERMINALTEXT_H_
#define CTL_TERMINALTEXT_H_

#include <cstddef>
#include <string>

namespace nTQVLKAET100 {

// The limits of text output: a table cell, a whole line.
inline constexpr std::size_t kTerminalCellLimit = 80;
inline constexpr std::size_t kTerminalLineLimit = 400;

std::string terminalText(const std::string& bytes, std::size_t limit = kTerminalLineLimit);

}  // namespace nTQVLKAET100

#endif  // CTL_TERMINALTEXT_H_
