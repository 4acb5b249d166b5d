#include "productpath/utf8.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>
#include <vector>

#include "tqapal/errors.h"

namespace nTQVLKAET100 {
namespace vlpath {

namespace {

bool isContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

// Decodes the sequence at text[at]; returns its length, 0 when invalid.
std::size_t decodeOne(const std::string& text, std::size_t at, std::uint32_t& value) {
  const unsigned char lead = static_cast<unsigned char>(text[at]);
  std::size_t length;
  std::uint32_t minimum;
  if (lead < 0x80) {
    value = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, minimum = 0x80, value = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, minimum = 0x800, value = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, minimum = 0x10000, value = lead & 0x07;
  } else {
    return 0;  // a continuation byte, or F8..FF
  }
  if (text.size() - at < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[at + i]);
    if (!isContinuation(c)) return 0;
    value = (value << 6) | (c & 0x3F);
  }
  if (value < minimum) return 0;                     // overlong form
  if (value >= 0xD800 && value <= 0xDFFF) return 0;  // surrogate
  if (value > 0x10FFFF) return 0;
  return length;
}

bool isAscii(const char* text, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if (static_cast<unsigned char>(text[i]) >= 0x80) return false;
  }
  return true;
}

void encodeUtf8(std::uint32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | ((c >> 18) & 0x07));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::size_t decodeUtf8At(const std::string& text, std::size_t at, std::uint32_t& codePoint) {
  return decodeOne(text, at, codePoint);
}

std::size_t validUtf8Prefix(const std::string& text) {
  std::size_t at = 0;
  std::uint32_t value = 0;
  while (at < text.size()) {
    const std::size_t length = decodeOne(text, at, value);
    if (length == 0) return at;
    at += length;
  }
  return at;
}

std::int32_t mbsToUtf8(const char* mbs, std::string& utf8) {
  try {
    utf8.clear();
    if (mbs == nullptr || *mbs == 0) return 0;
    const std::size_t length = std::strlen(mbs);
    if (isAscii(mbs, length)) {
      utf8.assign(mbs, length);
      return 0;
    }
    const std::size_t count = std::mbstowcs(nullptr, mbs, 0);
    if (count == static_cast<std::size_t>(-1)) return tqapalerr_badEncoding;
    std::vector<wchar_t> wide(count + 1);
    std::mbstowcs(wide.data(), mbs, count + 1);
    for (std::size_t i = 0; i < count; ++i) encodeUtf8(static_cast<std::uint32_t>(wide[i]), utf8);
    return 0;
  } catch (const std::bad_alloc&) {
    utf8.clear();
    return tqapalerr_memoryFull;
  }
}

std::int32_t utf8ToMbs(const std::string& utf8, std::string& mbs) {
  try {
    mbs.clear();
    if (utf8.empty()) return 0;
    if (isAscii(utf8.data(), utf8.size())) {
      mbs = utf8;
      return 0;
    }
    std::vector<wchar_t> wide;
    std::size_t at = 0;
    std::uint32_t value = 0;
    while (at < utf8.size()) {
      const std::size_t length = decodeOne(utf8, at, value);
      if (length == 0) return tqapalerr_badEncoding;
      wide.push_back(static_cast<wchar_t>(value));
      at += length;
    }
    // wcstombs stops at a NUL character. A text that holds one is converted
    // piece by piece, so that what follows the NUL is converted (or refused)
    // too instead of being dropped behind a reported success.
    std::size_t begin = 0;
    for (;;) {
      std::size_t end = begin;
      while (end < wide.size() && wide[end] != 0) ++end;
      std::vector<wchar_t> piece(wide.begin() + begin, wide.begin() + end);
      piece.push_back(0);
      const std::size_t bytes = std::wcstombs(nullptr, piece.data(), 0);
      if (bytes == static_cast<std::size_t>(-1)) {
        mbs.clear();
        return tqapalerr_badEncoding;
      }
      std::vector<char> out(bytes + 1);
      std::wcstombs(out.data(), piece.data(), bytes + 1);
      mbs.append(out.data(), bytes);
      if (end == wide.size()) return 0;
      mbs.push_back('\0');
      begin = end + 1;
    }
  } catch (const std::bad_alloc&) {
    mbs.clear();
    return tqapalerr_memoryFull;
  }
}

}  // namespace vlpath
}  // namespace nTQVLKAET100
