// SPDX-License-Identifier: MIT
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "error/json.h"

namespace tqerr::json {
namespace {

TEST(JsonReader, Values) {
  struct Case {
    const char* text;
    ValueKind kind;
    std::size_t length;
    bool fraction;
  } cases[] = {
      {R"("ab")", kString, 4, false},
      {R"("a\"\/\\\b\f\n\r\t\u00E9z")", kString, 26, false},
      {"\"caf\xc3\xa9\"", kString, 7, false},
      {"12,", kNumber, 2, false},
      {"-", kNumber, 1, false},
      {"-0.25", kNumber, 5, true},
      {"1.", kNumber, 2, true},
      {"1.5e+3", kNumber, 6, true},
      {"2E7}", kNumber, 3, true},
      {"{}", kObject, 2, false},
      {R"({ "a" : 1 , "b":[1, {"c":null}] })", kObject, 33, false},
      {"[ ]", kArray, 3, false},
      {"[true,false,null]", kArray, 17, false},
      {"true", kBoolean, 4, false},
      {"falsey", kBoolean, 5, false},
      {"null", kNull, 4, false},
  };
  for (const Case& c : cases) {
    const ReadResult r = readValue(c.text);
    EXPECT_EQ(r.kind, c.kind) << c.text;
    EXPECT_EQ(r.position, c.text) << c.text;
    EXPECT_EQ(r.length, c.length) << c.text;
    EXPECT_EQ(r.hasFractionOrExponent, c.fraction) << c.text;
  }
}

TEST(JsonReader, ErrorKinds) {
  struct Case {
    const char* text;
    ErrorKind error;
    std::size_t at;  // offset of the fault
  } cases[] = {
      {"", kNoText, 0},
      {"x", kNoText, 0},
      {"tru", kNoText, 0},
      {"1e", kNoText, 2},
      {"1ex", kNoText, 2},
      {"\"ab", kBadString, 3},
      {"\"a\x01\"", kBadString, 2},
      {"\"a\nb\"", kBadString, 2},
      {R"("\x")", kBadEscape, 1},
      {R"("\u12g4")", kBadEscape, 1},
      {R"("\u12")", kBadEscape, 1},
      {R"({1:2})", kBadString, 1},
      {"{", kBadObject, 1},
      {R"({"a":1)", kBadObject, 6},
      {R"({"a")", kBadObject, 4},
      {R"({"a":)", kBadObject, 5},
      {"[1,2", kBadArray, 4},
      {"[", kBadArray, 1},
      {R"({"a" 1})", kMissingColon, 5},
      {R"({"a":1 "b":2})", kMissingSeparator, 7},
      {"[1 2]", kMissingSeparator, 3},
      {R"({"a":1,})", kTrailingComma, 7},
      {R"({"a":1, })", kTrailingComma, 8},
      {"[1,]", kTrailingComma, 3},
      {R"({"a":tru})", kNoText, 5},
      {R"({"a":{"b":"\q"}})", kBadEscape, 11},
  };
  for (const Case& c : cases) {
    const ReadResult r = readValue(c.text);
    EXPECT_EQ(r.kind, kError) << c.text;
    EXPECT_EQ(r.error, c.error) << c.text;
    EXPECT_EQ(r.position, c.text + c.at) << c.text;
  }
  EXPECT_EQ(readValue(nullptr).error, kNoText);
}

TEST(JsonReader, ContainerEnd) {
  struct Case {
    const char* text;
    int end;  // -1: none
  } cases[] = {
      {R"({"a":[1]} tail)", 8}, {"[1]", 2},     {"{}", 1}, {"  {}", -1}, {"x", -1},
      {R"({"a":1)", -1},        {"\"{}\"", -1},
  };
  for (const Case& c : cases) {
    const char* end = findContainerEnd(c.text);
    if (c.end < 0) {
      EXPECT_EQ(end, nullptr) << c.text;
    } else {
      EXPECT_EQ(end, c.text + c.end) << c.text;
    }
  }
}

TEST(JsonReader, FindMember) {
  struct Case {
    const char* text;
    const char* key;
    const char* value;  // expected text at the value, null: not found
  } cases[] = {
      {R"({"file":"a","line":12})", "line", "12}"},
      {R"({"file":"a","line":12})", "file", R"("a","line":12})"},
      {R"({"o":{"line":1},"line":2})", "line", "2}"},
      {R"({"o":{"line":1}})", "line", nullptr},
      {R"({"a":1,"a":2})", "a", "1,\"a\":2}"},
      {" {\n\"a\" :\t 3 }", "a", "3 }"},
      {R"({"li\u006ee":5})", "line", "5}"},
      {R"({"\ud83d\ude00":6})", "\xf0\x9f\x98\x80", "6}"},
      {R"({"line2":7})", "line", nullptr},
      {R"({"lin":7})", "line", nullptr},
      {R"({})", "a", nullptr},
      {R"(["a"])", "a", nullptr},
      {R"({"a":bad,"b":1})", "b", nullptr},
  };
  for (const Case& c : cases) {
    const char* found = findMember(c.text, c.key);
    if (c.value == nullptr) {
      EXPECT_EQ(found, nullptr) << c.text;
    } else {
      ASSERT_NE(found, nullptr) << c.text;
      EXPECT_STREQ(found, c.value) << c.text;
    }
  }
}

TEST(JsonReader, StringValue) {
  const char* text = R"("a\nb",1)";
  std::size_t length = 0;
  const char* end = nullptr;
  const char* raw = getStringValue(text, "dflt", &length, &end);
  EXPECT_EQ(raw, text + 1);
  EXPECT_EQ(length, 4u);
  EXPECT_EQ(end, text + 6);

  const char* number = "12";
  EXPECT_STREQ(getStringValue(number, "dflt", &length, &end), "dflt");
  EXPECT_EQ(length, 4u);
  EXPECT_EQ(end, nullptr);
  EXPECT_EQ(getStringValue(number, nullptr, &length, &end), nullptr);
  EXPECT_EQ(length, 0u);
}

TEST(JsonReader, IntValue) {
  struct Case {
    const char* text;
    std::int32_t value;
  } cases[] = {
      {"12", 12},
      {"1.9", 1},
      {"-1.9", -1},
      {"0x1F", 31},
      {"010", 8},
      {"1e2", 100},
      {"-2147483648", INT32_MIN},
      {"2147483647", INT32_MAX},
      {"2.5E-1", 0},
      {"\"7\"", -99},
      {"-", -99},
      {"null", -99},
      {"2147483648", -99},
      {"99999999999", -99},
      {"1e300", -99},
      {"-3e9", -99},
  };
  for (const Case& c : cases) EXPECT_EQ(getIntValue(c.text, -99, nullptr), c.value) << c.text;

  const char* text = R"({"file":"a","line":12})";
  const char* end = nullptr;
  EXPECT_EQ(getIntValue(findMember(text, "line"), 0, &end), 12);
  EXPECT_STREQ(end, "}");
  EXPECT_EQ(getIntValue("\"x\"", 5, &end), 5);
  EXPECT_EQ(end, nullptr);
}

TEST(JsonReader, Unescape) {
  struct Case {
    const char* raw;
    const char* decoded;  // null: fails
  } cases[] = {
      {"plain", "plain"},
      {R"(\"\/\\\b\f\n\r\t)", "\"/\\\b\f\n\r\t"},
      {R"(\u0041\u00e9\u20AC)", "A\xc3\xa9\xe2\x82\xac"},
      {R"(\ud83d\ude00)", "\xf0\x9f\x98\x80"},
      {R"(\udbff\udfff)", "\xf4\x8f\xbf\xbf"},
      {R"(\ud83d)", nullptr},
      {R"(\ud83dx)", nullptr},
      {R"(\udfff\udc00)", nullptr},  // combines to 0x20FC00
      {R"(a\u0000b)", nullptr},
      {R"(\x)", nullptr},
      {R"(\u12)", nullptr},
      {"ends\\", nullptr},
      {"", ""},
  };
  for (const Case& c : cases) {
    char out[64];
    std::memset(out, 'x', sizeof out);
    char* end = unescapeString(c.raw, std::strlen(c.raw), out);
    if (c.decoded == nullptr) {
      EXPECT_EQ(end, nullptr) << c.raw;
    } else {
      ASSERT_NE(end, nullptr) << c.raw;
      EXPECT_STREQ(out, c.decoded) << c.raw;
      EXPECT_EQ(end, out + std::strlen(c.decoded)) << c.raw;
    }
  }
}

TEST(JsonReader, UnescapeStopsAtTheRawLength) {
  char out[8];
  char* end = unescapeString(R"(ab\n)", 2, out);
  ASSERT_NE(end, nullptr);
  EXPECT_STREQ(out, "ab");
  // A length that cuts an escape leaves it undecodable.
  EXPECT_EQ(unescapeString(R"(\u0041)", 4, out), nullptr);
}

}  // namespace
}  // namespace tqerr::json
