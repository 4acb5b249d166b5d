// SPDX-License-Identifier: MIT
// A streaming JSON writer for the --json output of tqvlkaectl: members and
// elements are written as they come, commas placed by the writer, so a
// document of any size costs no more memory than its largest string.
//
// Strings are bytes from settings files and the driver, not always UTF-8:
// quotes, backslashes and control characters are escaped, valid UTF-8
// sequences are copied, and every byte that is not part of one is written
// as the code point of the same number (\u00XX), so the output is always
// valid JSON. (The status layer's JSON text in error/json.h edits a fixed
// buffer in place for a detail text that must not allocate; a report of a
// whole file is the other case.)
#ifndef CTL_JSONWRITER_H_
#define CTL_JSONWRITER_H_

#include <cstdint>
#include <ostream>
#include <string_view>
#include <vector>

namespace nTQVLKAET100 {

class tJsonWriter {
 public:
  explicit tJsonWriter(std::ostream& out) : out_(out) {}

  void beginObject();
  void endObject();
  void beginArray();
  void endArray();
  // The key of the next member of the current object.
  tJsonWriter& key(std::string_view name);

  void string(std::string_view text);
  void number(std::int64_t value);
  void boolean(bool value);
  void null();

  // The document's end: a newline after the outermost value.
  void finish() { out_ << '\n'; }

 private:
  void beforeValue();

  std::ostream& out_;
  std::vector<bool> hasMembers_;  // one per open container
  bool afterKey_ = false;
};

// The text as a JSON string literal, quotes included.
void writeJsonString(std::ostream& out, std::string_view text);

}  // namespace nTQVLKAET100

#endif  // CTL_JSONWRITER_H_
