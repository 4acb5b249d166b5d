// SPDX-License-Identifier: MIT
#include "ctl/jsonWriter.h"

#include <cstddef>

namespace nTQVLKAET100 {

namespace {

// Length of the valid UTF-8 sequence at text[i], 0 when there is none
// (overlong forms, surrogates and code points above U+10FFFF are invalid).
std::size_t utf8Length(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return length;
}

void writeCodePoint(std::ostream& out, unsigned char value) {
  static const char kDigits[] = "0123456789abcdef";
  out << "\\u00" << kDigits[value >> 4] << kDigits[value & 0xF];
}

}  // namespace

void writeJsonString(std::ostream& out, std::string_view text) {
  out << '"';
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const std::size_t length = utf8Length(text, i);
      if (length == 0) {
        writeCodePoint(out, c);
        ++i;
      } else {
        out.write(text.data() + i, static_cast<std::streamsize>(length));
        i += length;
      }
      continue;
    }
    switch (c) {
      case '"':
        out << "\\\"";
        break;
      case '\\':
        out << "\\\\";
        break;
      case '\n':
        out << "\\n";
        break;
      case '\r':
        out << "\\r";
        break;
      case '\t':
        out << "\\t";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          writeCodePoint(out, c);
        } else {
          out << static_cast<char>(c);
        }
    }
    ++i;
  }
  out << '"';
}

void tJsonWriter::beforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (!hasMembers_.empty()) {
    if (hasMembers_.back()) out_ << ',';
    hasMembers_.back() = true;
  }
}

void tJsonWriter::beginObject() {
  beforeValue();
  out_ << '{';
  hasMembers_.push_back(false);
}

void tJsonWriter::endObject() {
  out_ << '}';
  hasMembers_.pop_back();
}

void tJsonWriter::beginArray() {
  beforeValue();
  out_ << '[';
  hasMembers_.push_back(false);
}

void tJsonWriter::endArray() {
  out_ << ']';
  hasMembers_.pop_back();
}

tJsonWriter& tJsonWriter::key(std::string_view name) {
  beforeValue();
  writeJsonString(out_, name);
  out_ << ':';
  afterKey_ = true;
  return *this;
}

void tJsonWriter::string(std::string_view text) {
  beforeValue();
  writeJsonString(out_, text);
}

void tJsonWriter::number(std::int64_t value) {
  beforeValue();
  out_ << value;
}

void tJsonWriter::boolean(bool value) {
  beforeValue();
  out_ << (value ? "true" : "false");
}

void tJsonWriter::null() {
  beforeValue();
  out_ << "null";
}

}  // namespace nTQVLKAET100
