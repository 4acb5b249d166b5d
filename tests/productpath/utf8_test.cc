// SPDX-License-Identifier: MIT
#include "productpath/utf8.h"

#include <clocale>
#include <string>

#include <gtest/gtest.h>

namespace nTQVLKAET100 {
namespace vlpath {
namespace {

TEST(Utf8, ValidPrefix) {
  struct Case {
    std::string text;
    std::size_t valid;
  } cases[] = {
      {"", 0},
      {"abc", 3},
      {"\xC2\x80", 2},              // U+0080, smallest two-byte
      {"\xDF\xBF", 2},              // U+07FF
      {"\xE0\xA0\x80", 3},          // U+0800
      {"\xED\x9F\xBF", 3},          // U+D7FF, just below the surrogates
      {"\xEE\x80\x80", 3},          // U+E000, just above
      {"\xF0\x90\x80\x80", 4},      // U+10000
      {"\xF4\x8F\xBF\xBF", 4},      // U+10FFFF
      {"ab\xC1\xBF", 2},            // overlong U+007F
      {"a\xED\xBF\xBF", 1},         // surrogate DFFF
      {"\xE2\x82\xAC\xE2\x82", 3},  // second sequence cut short
      {std::string("a\0b", 3), 3},  // NUL is a valid character
  };
  for (const Case& c : cases) EXPECT_EQ(validUtf8Prefix(c.text), c.valid) << c.text;
}

// The conversions outside ASCII, in a UTF-8 locale (the tool itself never
// leaves "C"; this exercises the encoding of every sequence length).
TEST(Utf8, RoundTripInAUtf8Locale) {
  if (std::setlocale(LC_CTYPE, "C.UTF-8") == nullptr) GTEST_SKIP() << "no C.UTF-8 locale";
  const std::string texts[] = {"/a/\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80/x"};
  for (const std::string& text : texts) {
    std::string utf8;
    EXPECT_EQ(mbsToUtf8(text.c_str(), utf8), 0);
    EXPECT_EQ(utf8, text);
    std::string mbs;
    EXPECT_EQ(utf8ToMbs(text, mbs), 0);
    EXPECT_EQ(mbs, text);
  }
  std::string out;
  EXPECT_EQ(mbsToUtf8("\xC3", out), -52027);
  EXPECT_EQ(utf8ToMbs("\xC0\x80", out), -52027);
  std::setlocale(LC_CTYPE, "C");
}

TEST(Utf8, CLocaleConvertsAsciiOnly) {
  std::string out = "old";
  EXPECT_EQ(mbsToUtf8("", out), 0);
  EXPECT_EQ(out, "");
  EXPECT_EQ(mbsToUtf8("/plain", out), 0);
  EXPECT_EQ(out, "/plain");
  EXPECT_EQ(mbsToUtf8("\xE9", out), -52027);
  EXPECT_EQ(utf8ToMbs("\xC3\xA9", out), -52027);
}

// A NUL character inside the text must not end the conversion: what follows
// it is converted, or refused, like the rest (found by fuzz/path_fuzz).
TEST(Utf8, TextAfterANulIsConvertedToo) {
  std::string out = "old";
  EXPECT_EQ(utf8ToMbs(std::string("a\0\xC3\xA9", 4), out), -52027);
  EXPECT_EQ(out, "");
  EXPECT_EQ(utf8ToMbs(std::string("a\0b", 3), out), 0);
  EXPECT_EQ(out, std::string("a\0b", 3));
  if (std::setlocale(LC_CTYPE, "C.UTF-8") == nullptr) GTEST_SKIP() << "no C.UTF-8 locale";
  const std::string text("/a\0\xC3\xA9/\0\xE2\x82\xAC", 10);
  EXPECT_EQ(utf8ToMbs(text, out), 0);
  EXPECT_EQ(out, text);
  std::setlocale(LC_CTYPE, "C");
}

}  // namespace
}  // namespace vlpath
}  // namespace nTQVLKAET100
