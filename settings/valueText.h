// SPDX-License-Identifier: MIT
// The one spelling of port property values and keys in settings text, for
// every program that writes them: what store writes into the settings file,
// what show, diff and check print, and what restore turns back into bytes.
//
// What it promises:
// - a 4-byte value is spelled as its unsigned decimal number, and restore
//   writes exactly its bytes back;
// - a 1-byte value is spelled as its one character when a settings line can
//   carry it, and restore writes exactly that byte back: the printable ASCII
//   characters but the double quote (which restore removes from every
//   value), and the space, which is spelled "\" \"" since the reader trims
//   white space around a value and restore removes the quotes again;
// - every other value has no settings text, and a reason that says why no
//   settings line carries it: a zero byte, a control character, a byte above
//   0x7E (settings files stay printable ASCII), the double quote, a size
//   other than 1 or 4. For people it is shown as "\xNN" (1 byte) or "0x" and
//   its bytes in order (other sizes), which no settings line of that size
//   converts, so the two spellings never meet;
// - a key is the serial in lower-case hexadecimal, the port in decimal and
//   the property's name, joined by "_" ("1a5_0_linkspeed").
// The reverse, settings text to bytes, is restore's own conversion
// (settings/valueConversion.h), which the promise above is tested against.
#ifndef SETTINGS_VALUETEXT_H_
#define SETTINGS_VALUETEXT_H_

#include <cstdint>
#include <optional>
#include <string>

namespace nTQVLKAET100 {

struct tValueText {
  std::string text;    // the settings text; empty when no line carries it
  std::string reason;  // why no settings line carries it, when text is empty
  std::string shown;   // for people: text, or the escaped bytes

  bool storable() const { return !text.empty(); }
};

// The spelling of the first size bytes of bytes (host byte order).
tValueText valueText(const unsigned char* bytes, std::uint32_t size);

// The number a value of the two sizes restore writes holds: a 4-byte value's
// unsigned number (host byte order), a 1-byte value's code; none for any
// other size. Values of one property compare by it.
std::optional<std::uint32_t> valueNumber(const unsigned char* bytes, std::uint32_t size);

// The settings key of a port property ("1a5_0_linkspeed").
std::string settingKeyText(std::uint32_t serialNumber, std::uint32_t port,
                           const char* propertyName);

}  // namespace nTQVLKAET100

#endif  // SETTINGS_VALUETEXT_H_
