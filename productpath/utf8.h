// Text conversions of the product path layer: UTF-8 validation (RFC 3629)
// and the round trip between UTF-8 and the C library's multibyte encoding
// (current locale; the tool never leaves "C", where only ASCII converts).
//
// Conversions return 0 or a negative code: -52027 for text that is not valid
// or cannot be represented, -52000 when memory runs out. They never throw.
#ifndef PRODUCTPATH_UTF8_H_
#define PRODUCTPATH_UTF8_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace nTQVLKAET100 {
namespace vlpath {

// Length of the valid prefix: text.size() when the whole text is valid
// UTF-8, else the offset of the first invalid sequence.
std::size_t validUtf8Prefix(const std::string& text);
inline bool isValidUtf8(const std::string& text) {
  return validUtf8Prefix(text) == text.size();
}

// The length of the valid UTF-8 sequence that starts at text[at] (at <
// text.size()), and its code point; 0 when none starts there.
std::size_t decodeUtf8At(const std::string& text, std::size_t at, std::uint32_t& codePoint);

// Null or empty gives empty; ASCII is copied; anything else goes through
// mbstowcs and is encoded as UTF-8.
std::int32_t mbsToUtf8(const char* mbs, std::string& utf8);

// Empty gives empty; ASCII is copied; anything else is validated, decoded
// and converted with wcstombs.
std::int32_t utf8ToMbs(const std::string& utf8, std::string& mbs);

}  // namespace vlpath
}  // namespace nTQVLKAET100

#endif  // PRODUCTPATH_UTF8_H_
