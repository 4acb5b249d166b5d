// The JSON documents of tqvlkaectl (check, show, diff and store --json):
// built as nlohmann-json values whose members keep the order in which they
// are set, and written as one compact line and a newline. Each document's
// form is a JSON Schema in ctl/schemas/, which the tests hold real output to.
//
// Strings are bytes from settings files, file names and the driver, and not
// always UTF-8; the document is valid UTF-8 JSON all the same:
// - a valid UTF-8 string is written as it is, with JSON's escapes for the
//   quote, the backslash and the control characters;
// - in a string that is not valid UTF-8, every byte that is not part of a
//   valid sequence is written as U+FFFD, the replacement character;
// - members that name data rather than describe it (a file, a node, a key,
//   a value) are set with setBytes: when their bytes are not valid UTF-8 a
//   member of the same name and "Hex" after it ("keyHex") follows them, with
//   the exact bytes in lower-case hexadecimal. A document is thus exact.
#ifndef CTL_JSONDOCUMENT_H_
#define CTL_JSONDOCUMENT_H_

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

namespace nTQVLKAET100 {

using tJson = nlohmann::ordered_json;

// object[name] = bytes, and object[name + "Hex"] when they are not UTF-8.
void setBytes(tJson& object, const std::string& name, const std::string& bytes);

// The number, or null for 0 (a line number that names no line).
tJson lineOrNull(unsigned long line);

// The document on one line and a newline.
void writeJsonDocument(std::ostream& out, const tJson& document);

}  // namespace nTQVLKAET100

#endif  // CTL_JSONDOCUMENT_H_
