// SPDX-License-Identifier: MIT
// The settings text rewritten to hold captured port property values, for a
// program that stores the live port settings into the file that restore
// reads at boot. Pure: bytes in, bytes out, no file and no driver.
//
// What it promises for a text it accepts:
// - every byte of the old text stays as it was, except the value text of the
//   entries it replaces and the lines it inserts: comments, blank lines,
//   other sections, entries restore does not read, the order of entries, the
//   spelling of every key (letter case, "0x", leading zeros), a byte-order
//   mark, the line ends ("\r\n" stays "\r\n"), a last line without a line end;
// - an entry of the "PortSetting" section whose key restore reads as the
//   captured serial, port and property gets the captured value in place of
//   its value text. When several keys name the same port property (spelled
//   differently, "1a5_0_linkspeed" and "0x1A5_0_LinkSpeed"), restore writes
//   them all in file order: every one of them gets the value, so that no
//   stale value is written at boot before the last one. A value text that
//   restore already converts to the captured bytes ("100", "\"100\"", "-5"
//   for 4294967291) is kept as it is written;
// - a captured value that no entry names is appended as "key=value" after
//   the section's last entry (after the header of an empty "[PortSetting]",
//   or in a "[PortSetting]" section added at the end when there is none), in
//   the order captured, keys and values spelled as settings/valueText.h
//   spells them, and the inserted lines end as the file's first line does
//   (LF when it has none);
// - the result read by the tool's INI reader has exactly these entries.
//
// A value that no settings line carries (settings/valueText.h) is left out
// with its reason.
// forcelinkdisable is never stored: restore clears it on every port after the
// entries, so a stored value has no lasting effect; existing entries for it
// stay as they are.
//
// It refuses (and returns no text) when the old text has a syntax error (the
// caller shows the checker's findings), when it holds a zero byte (what
// follows it is never read, and an entry placed after it would be lost), or
// when a top entry named "PortSetting" stands where the section would have
// to be added (the reader would then refuse the file).
#ifndef SETTINGS_STOREREWRITE_H_
#define SETTINGS_STOREREWRITE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nTQVLKAET100 {

// One port property value as read from the driver.
struct tCapturedValue {
  std::uint32_t serialNumber;
  std::uint32_t port;
  std::uint32_t propertyId;  // a property of device/aeProperties.h
  std::uint32_t size;        // as the driver reports it: 1 or 4
  unsigned char bytes[4];    // the first size bytes, host byte order
};

// A captured value that is not stored, and why ("a control character (0x07)
// cannot be written in a settings line").
struct tLeftOutValue {
  tCapturedValue value;
  std::string reason;
};

enum class tRewriteRefusal {
  kNone,
  kSyntaxError,       // the old text has a syntax error
  kZeroByte,          // the old text holds a zero byte
  kSectionNameTaken,  // a top entry "PortSetting" stands for the section
};

// What a refusal means, for people ("the file holds a zero byte, after which
// restore reads nothing"); empty for kNone.
const char* rewriteRefusalText(tRewriteRefusal refusal);

struct tStoreRewrite {
  tRewriteRefusal refusal = tRewriteRefusal::kNone;
  std::string bytes;  // the new text; empty when refused
  std::vector<tLeftOutValue> leftOut;
  // A forcelinkdisable value was captured and not stored (say so once).
  bool forceLinkDisableLeftOut = false;
  // The stored values: those whose entries got the value in place (some
  // entry held another), those added as new lines, those every entry of
  // which already held them, and with addNew false those no entry names,
  // which are then not stored.
  std::size_t changed = 0;
  std::size_t added = 0;
  std::size_t alreadyRight = 0;
  std::size_t notInFile = 0;
};

// The old text with the captured values stored. A port property captured
// more than once is stored with its last value. With addNew false only the
// port properties that an entry of the file names are stored.
tStoreRewrite rewriteSettings(std::string_view old, const std::vector<tCapturedValue>& captured,
                              bool addNew = true);

}  // namespace nTQVLKAET100

#endif  // SETTINGS_STOREREWRITE_H_
