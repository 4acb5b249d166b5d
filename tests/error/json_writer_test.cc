// SPDX-License-Identifier: MIT
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "error/json.h"

namespace tqerr::json {
namespace {

// A detail buffer of the given capacity holding text; top() is the closing
// bracket of its top-level container.
struct Buffer {
  Buffer(std::uint32_t capacity, const char* text) : bytes(capacity, 'x') {
    last = initBuffer(bytes.data(), capacity, text);
  }
  char* top() { return bytes.data() + std::strlen(bytes.data()) - 1; }
  std::string text() const { return bytes.data(); }
  std::vector<char> bytes;
  char* last;
};

TEST(JsonBuffer, InitLaysOutTextPaddingAndMarker) {
  Buffer b(8, "{}");
  ASSERT_EQ(b.last, b.bytes.data() + 1);
  EXPECT_EQ(std::string(b.bytes.begin(), b.bytes.end()), std::string("{}\0\0\0\0\0J", 8));
}

TEST(JsonBuffer, InitRejectsTextThatLeavesNoRoomForTheMarker) {
  std::vector<char> bytes(4, 'x');
  EXPECT_EQ(initBuffer(bytes.data(), 3, "{}"), nullptr);
  EXPECT_NE(initBuffer(bytes.data(), 4, "{}"), nullptr);
  EXPECT_EQ(bytes[3], 'J');
}

TEST(JsonBuffer, InitWithoutTextKeepsTheCurrentOne) {
  std::vector<char> bytes = {'{', '}', 0, 'q', 'q', 'q'};
  ASSERT_NE(initBuffer(bytes.data(), 6, nullptr), nullptr);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), std::string("{}\0\0\0J", 6));
  std::vector<char> full = {'{', '"', '"', '}', 0, 'J'};
  EXPECT_EQ(initBuffer(full.data(), 5, nullptr), nullptr);
}

TEST(JsonEscape, Lengths) {
  struct Case {
    const char* text;
    std::size_t length;
  } cases[] = {
      {"", 0},     {"abc", 3},  {"\b\t\n\f\r", 10}, {"\"\\", 4},   {"\x01", 6},
      {"\x1f", 6}, {"\x7f", 6}, {"\xc3\xa9", 2},    {"a\x02z", 8}, {"/", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(escapedLength(c.text), c.length) << c.text;
}

TEST(JsonEscape, WrittenForms) {
  struct Case {
    const char* value;
    const char* member;
  } cases[] = {
      {"line\nnext\x01", R"({"k":"line\nnext\u0001"})"}, {"\b\t\f\r", R"({"k":"\b\t\f\r"})"},
      {"say \"hi\" \\o/", R"({"k":"say \"hi\" \\o/"})"}, {"\x1f\x7f", R"({"k":"\u001f\u007f"})"},
      {"caf\xc3\xa9", "{\"k\":\"caf\xc3\xa9\"}"},        {"", R"({"k":""})"},
  };
  for (const Case& c : cases) {
    Buffer b(64, "{}");
    char* end = appendString(b.top(), "k", c.value);
    ASSERT_NE(end, nullptr) << c.member;
    EXPECT_EQ(b.text(), c.member);
    EXPECT_EQ(*end, '}');
  }
}

TEST(JsonWriter, MembersFollowEachOtherWithCommas) {
  Buffer b(64, "{}");
  char* at = appendString(b.top(), "desc", "a");
  EXPECT_EQ(b.text(), R"({"desc":"a"})");
  at = appendString(at, "path", "b");
  EXPECT_EQ(b.text(), R"({"desc":"a","path":"b"})");
  ASSERT_NE(at, nullptr);
  EXPECT_EQ(at, b.top());
  EXPECT_EQ(b.bytes.back(), 'J');
}

TEST(JsonWriter, IntegerForms) {
  struct Case {
    char* (*write)(char*);
    const char* text;
  } cases[] = {
      {[](char* p) { return appendInt(p, "i", -5); }, R"({"i":-5})"},
      {[](char* p) { return appendInt(p, "i", INT32_MIN); }, R"({"i":-2147483648})"},
      {[](char* p) { return appendUInt(p, "u", 4294967295u); }, R"({"u":4294967295})"},
      {[](char* p) { return appendUInt64(p, "w", 18446744073709551615ull); },
       R"({"w":18446744073709551615})"},
      {[](char* p) { return appendObject(p, "o"); }, R"({"o":{}})"},
  };
  for (const Case& c : cases) {
    Buffer b(64, "{}");
    ASSERT_NE(c.write(b.top()), nullptr) << c.text;
    EXPECT_EQ(b.text(), c.text);
  }
}

TEST(JsonWriter, ArrayElementsHaveNoKey) {
  Buffer b(64, "{\"a\":[ ]}");
  char* array = b.bytes.data() + 7;
  ASSERT_EQ(*array, ']');
  char* at = appendInt(array, nullptr, 1);
  at = appendString(at, nullptr, "x");
  at = appendObject(at, nullptr);
  ASSERT_NE(at, nullptr);
  EXPECT_EQ(b.text(), R"({"a":[ 1,"x",{}]})");
}

TEST(JsonWriter, WhitespaceBeforeTheBracketStillCountsAsEmpty) {
  Buffer b(64, "{ \n\t\r}");
  ASSERT_NE(appendInt(b.top(), "n", 1), nullptr);
  EXPECT_EQ(b.text(), "{ \n\t\r\"n\":1}");
}

TEST(JsonWriter, NestedObjectThenNextMemberLandsAfterIt) {
  Buffer b(64, "{}");
  char* inner = appendObject(b.top(), "internal_error");
  ASSERT_NE(inner, nullptr);
  char* end = appendInt(inner - 1, "code", -5);
  EXPECT_EQ(b.text(), R"({"internal_error":{"code":-5}})");
  char* outer = leaveObject(end);
  ASSERT_NE(appendString(outer, "next", "x"), nullptr);
  EXPECT_EQ(b.text(), R"({"internal_error":{"code":-5},"next":"x"})");
  EXPECT_EQ(leaveObject(nullptr), nullptr);
}

TEST(JsonWriter, FullBufferIsLeftUnchanged) {
  Buffer b(4, "{}");
  const std::vector<char> before = b.bytes;
  EXPECT_EQ(appendString(b.top(), nullptr, ""), nullptr);
  EXPECT_EQ(appendObject(b.top(), nullptr), nullptr);
  EXPECT_EQ(appendInt(b.top(), "k", 1), nullptr);
  EXPECT_EQ(b.bytes, before);
}

TEST(JsonWriter, ExactFitIsWrittenAndOneByteShortIsNot) {
  // {"k":"v"} is 9 characters: its buffer needs 9 + NUL + marker.
  Buffer exact(11, "{}");
  ASSERT_NE(appendString(exact.top(), "k", "v"), nullptr);
  EXPECT_EQ(std::string(exact.bytes.begin(), exact.bytes.end()),
            std::string("{\"k\":\"v\"}\0J", 11));

  Buffer shortBy1(10, "{}");
  const std::vector<char> before = shortBy1.bytes;
  EXPECT_EQ(appendString(shortBy1.top(), "k", "v"), nullptr);
  EXPECT_EQ(shortBy1.bytes, before);

  // The comma of a second member counts as well.
  Buffer second(14, "{\"a\":1}");
  EXPECT_EQ(appendInt(second.top(), "b", 2), nullptr);
  Buffer fits(15, "{\"a\":1}");
  ASSERT_NE(appendInt(fits.top(), "b", 2), nullptr);
  EXPECT_EQ(fits.text(), R"({"a":1,"b":2})");
}

TEST(JsonWriter, NullPositionStopsTheChain) {
  EXPECT_EQ(appendString(nullptr, "k", "v"), nullptr);
  EXPECT_EQ(appendInt(nullptr, "k", 1), nullptr);
  EXPECT_EQ(appendObject(nullptr, "k", Grower{nullptr, nullptr}), nullptr);
}

TEST(JsonWriter, RefusesPositionsThatAreNoClosingBracket) {
  Buffer b(64, R"({"a":1})");
  EXPECT_EQ(appendInt(b.bytes.data(), "k", 1), nullptr);
  EXPECT_EQ(appendInt(b.bytes.data() + 5, "k", 1), nullptr);
  EXPECT_EQ(b.text(), R"({"a":1})");
}

// A grower that moves the text into a buffer twice as large.
struct Growth {
  std::vector<std::vector<char>> buffers;
  int calls = 0;
  int limit = 100;
  static char* grow(char* position, void* context) {
    Growth& self = *static_cast<Growth*>(context);
    if (++self.calls > self.limit) return nullptr;
    std::vector<char>& old = self.buffers.back();
    std::vector<char> bigger(old.size() * 2);
    initBuffer(bigger.data(), static_cast<std::uint32_t>(bigger.size()), old.data());
    const std::ptrdiff_t offset = position - old.data();
    self.buffers.push_back(std::move(bigger));
    return self.buffers.back().data() + offset;
  }
  std::string text() const { return buffers.back().data(); }
};

TEST(JsonGrowingWriter, GrowsUntilTheMemberFits) {
  Growth g;
  g.buffers.emplace_back(4);
  initBuffer(g.buffers[0].data(), 4, "{}");
  const Grower grower{Growth::grow, &g};
  const std::string value(40, 'v');
  char* at = appendString(g.buffers[0].data() + 1, "key", value.c_str(), grower);
  ASSERT_NE(at, nullptr);
  EXPECT_EQ(g.text(), "{\"key\":\"" + value + "\"}");
  EXPECT_EQ(g.calls, 4);  // 4 -> 8 -> 16 -> 32 -> 64
  char* inner = appendObject(at, "o", grower);
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(*inner, '}');
  at = appendUInt64(inner, "n", 7, grower);
  at = appendInt(leaveObject(at), "i", -1, grower);
  ASSERT_NE(at, nullptr);
  EXPECT_EQ(g.text(), "{\"key\":\"" + value + "\",\"o\":{\"n\":7},\"i\":-1}");
}

TEST(JsonGrowingWriter, FailsWhenTheGrowerGivesUp) {
  Growth g;
  g.limit = 1;
  g.buffers.emplace_back(4);
  initBuffer(g.buffers[0].data(), 4, "{}");
  const Grower grower{Growth::grow, &g};
  EXPECT_EQ(appendString(g.buffers[0].data() + 1, "key", "a long value", grower), nullptr);
  EXPECT_EQ(g.calls, 2);
  EXPECT_EQ(g.text(), "{}");
  // Without a grower the plain failure is the answer.
  Buffer b(4, "{}");
  EXPECT_EQ(appendInt(b.top(), "k", 1, Grower{nullptr, nullptr}), nullptr);
}

}  // namespace
}  // namespace tqerr::json
