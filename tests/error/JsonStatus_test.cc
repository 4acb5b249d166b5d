// SPDX-License-Identifier: MIT
#include "error/JsonStatus.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace tqerr {
namespace {

// Frees like the default one but never allocates.
bool refusingReallocate(JsonStatus& status, std::uint32_t capacity) {
  return capacity == 0 ? defaultReallocate(status, 0) : false;
}

// Same behaviour as the default, a different function.
bool otherReallocate(JsonStatus& status, std::uint32_t capacity) {
  return defaultReallocate(status, capacity);
}

// Owns a JsonStatus and frees its text at the end of the test.
struct Owned {
  Owned() = default;
  Owned(std::int32_t code, const char* text) {
    s.code = code;
    if (text) {
      EXPECT_TRUE(setText(s, text));
    }
  }
  ~Owned() { release(s); }
  std::string text() const { return s.text ? s.text : "<null>"; }
  JsonStatus s;
};

TEST(JsonStatusReallocate, CapacityRules) {
  struct Case {
    std::uint32_t request;
    std::uint32_t capacity;
  } cases[] = {{1, 512},     {4, 512},     {512, 512},     {513, 1024},
               {1024, 1024}, {1025, 2048}, {70000, 131072}};
  for (const Case& c : cases) {
    Owned o;
    ASSERT_TRUE(defaultReallocate(o.s, c.request)) << c.request;
    EXPECT_EQ(o.s.capacity, c.capacity) << c.request;
    EXPECT_EQ(o.text(), "{}");
    EXPECT_EQ(o.s.text[c.capacity - 1], 'J');
    EXPECT_EQ(o.s.text[c.capacity - 2], 0);
  }
}

TEST(JsonStatusReallocate, GrowingKeepsTheTextAndShrinkingDoesNothing) {
  Owned o(-1, R"({"a":1})");
  char* first = o.s.text;
  ASSERT_TRUE(defaultReallocate(o.s, 100));
  EXPECT_EQ(o.s.text, first);
  EXPECT_EQ(o.s.capacity, 512u);
  ASSERT_TRUE(defaultReallocate(o.s, 600));
  EXPECT_EQ(o.s.capacity, 1024u);
  EXPECT_EQ(o.text(), R"({"a":1})");
  EXPECT_EQ(o.s.text[1023], 'J');
}

TEST(JsonStatusReallocate, RefusesBeyondSigned32AndFreesAtZero) {
  Owned o(0, "{}");
  char* first = o.s.text;
  EXPECT_FALSE(defaultReallocate(o.s, 0x80000000u));
  EXPECT_EQ(o.s.text, first);
  EXPECT_EQ(o.s.capacity, 512u);
  EXPECT_TRUE(defaultReallocate(o.s, 0));
  EXPECT_EQ(o.s.text, nullptr);
  EXPECT_EQ(o.s.capacity, 0u);
}

TEST(JsonStatusMergeCode, MergeRule) {
  struct Case {
    std::int32_t old, offered;
    bool taken;
    std::int32_t result;
  } cases[] = {
      {0, 0, false, 0},   {0, 5, true, 5},    {0, -5, true, -5},
      {3, 4, false, 3},   {3, -4, true, -4},  {-3, -4, false, -3},
      {-3, 4, false, -3}, {-3, 0, false, -3}, {3, 0, false, 3},
  };
  for (const Case& c : cases) {
    Owned o(c.old, R"({"kept":1})");
    EXPECT_EQ(mergeCode(o.s, c.offered), c.taken) << c.old << " " << c.offered;
    EXPECT_EQ(o.s.code, c.result);
    // The detail of a replaced code goes with it.
    EXPECT_EQ(o.text(), c.taken ? "{}" : R"({"kept":1})");
  }
}

TEST(JsonStatusSetText, WritesTextOrEmptyObject) {
  Owned o;
  ASSERT_TRUE(setText(o.s, R"({"x":"y"})"));
  EXPECT_EQ(o.text(), R"({"x":"y"})");
  EXPECT_EQ(o.s.text[o.s.capacity - 1], 'J');
  ASSERT_TRUE(setText(o.s, nullptr));
  EXPECT_EQ(o.text(), "{}");
  const std::string large = "{\"k\":\"" + std::string(600, 'a') + "\"}";
  ASSERT_TRUE(setText(o.s, large.c_str()));
  EXPECT_EQ(o.s.capacity, 1024u);
  EXPECT_EQ(o.text(), large);
}

TEST(JsonStatusSetText, FailingReallocateLeavesTheStatus) {
  Owned o;
  o.s.reallocate = refusingReallocate;
  EXPECT_FALSE(setText(o.s, "{}"));
  EXPECT_EQ(o.s.text, nullptr);
}

// A status frees its text when it goes, through its own reallocate function,
// on every way out: a plain end of scope and an exception of any type.
TEST(JsonStatusRelease, DestructionFreesTheText) {
  static int freed;
  const ReallocateFunction counting = [](JsonStatus& status, std::uint32_t capacity) {
    if (capacity == 0 && status.text != nullptr) ++freed;
    return defaultReallocate(status, capacity);
  };
  for (const bool throwing : {false, true}) {
    freed = 0;
    try {
      JsonStatus status;
      status.reallocate = counting;
      ASSERT_TRUE(setText(status, R"({"a":1})"));
      if (throwing) throw 42;
    } catch (int) {
    }
    EXPECT_EQ(freed, 1) << (throwing ? "thrown" : "end of scope");
  }
}

TEST(JsonStatusCopy, Forms) {
  Owned source(-7, R"({"a":1})");
  Owned destination(3, R"({"b":2})");
  ASSERT_TRUE(copy(destination.s, source.s));
  EXPECT_EQ(destination.s.code, -7);
  EXPECT_EQ(destination.text(), R"({"a":1})");
  EXPECT_NE(destination.s.text, source.s.text);

  Owned empty(-2, nullptr);
  ASSERT_TRUE(copy(destination.s, empty.s));
  EXPECT_EQ(destination.s.code, -2);
  EXPECT_EQ(destination.s.text, nullptr);
  EXPECT_EQ(destination.s.capacity, 0u);

  Owned refusing;
  refusing.s.reallocate = refusingReallocate;
  EXPECT_FALSE(copy(refusing.s, source.s));
  EXPECT_EQ(refusing.s.code, 0);  // the code follows the text only
}

TEST(JsonStatusMerge, CopyDuplicatesTheText) {
  Owned source(-7, R"({"a":1})");
  Owned destination(2, R"({"w":1})");
  bool ok = true;
  mergeAndCopy(destination.s, source.s, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(destination.s.code, -7);
  EXPECT_EQ(destination.text(), R"({"a":1})");
  EXPECT_EQ(source.text(), R"({"a":1})");

  Owned refusing(1, nullptr);
  refusing.s.reallocate = refusingReallocate;
  mergeAndCopy(refusing.s, source.s, &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(refusing.s.code, -7);
}

TEST(JsonStatusMerge, MoveHandsTheBufferOver) {
  Owned source(-7, R"({"a":1})");
  char* buffer = source.s.text;
  Owned destination(0, "{}");
  bool ok = true;
  mergeAndMove(destination.s, source.s, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(destination.s.code, -7);
  EXPECT_EQ(destination.s.text, buffer);
  EXPECT_EQ(destination.s.capacity, 512u);
  EXPECT_EQ(source.s.text, nullptr);
  EXPECT_EQ(source.s.capacity, 0u);
}

TEST(JsonStatusMerge, MoveCopiesAcrossReallocateFunctions) {
  Owned source(-7, R"({"a":1})");
  Owned destination;
  destination.s.reallocate = otherReallocate;
  mergeAndMove(destination.s, source.s, nullptr);
  EXPECT_EQ(destination.text(), R"({"a":1})");
  EXPECT_NE(destination.s.text, source.s.text);
  EXPECT_EQ(source.text(), R"({"a":1})");
}

TEST(JsonStatusMerge, NotTakenLeavesBoth) {
  Owned source(-7, R"({"a":1})");
  Owned destination(-1, R"({"first":1})");
  mergeAndMove(destination.s, source.s, nullptr);
  mergeAndCopy(destination.s, source.s, nullptr);
  EXPECT_EQ(destination.s.code, -1);
  EXPECT_EQ(destination.text(), R"({"first":1})");
  EXPECT_EQ(source.text(), R"({"a":1})");
}

TEST(JsonStatusReserve, EnsuresCapacityAndFindsTheBracket) {
  Owned o;
  char* at = reserve(o.s, 256);
  ASSERT_NE(at, nullptr);
  EXPECT_EQ(at, o.s.text + 1);
  EXPECT_EQ(o.s.capacity, 512u);
  at = reserve(o.s, 1000);
  ASSERT_NE(at, nullptr);
  EXPECT_EQ(o.s.capacity, 1024u);
  EXPECT_EQ(reserve(o.s, 0x7FFFFFFEu), nullptr);
  EXPECT_EQ(o.s.capacity, 1024u);
}

TEST(JsonStatusGrow, DoublesAndKeepsTheOffset) {
  Owned o(-1, R"({"a":1})");
  char* bracket = o.s.text + 6;
  char* moved = grow(bracket, &o.s);
  ASSERT_NE(moved, nullptr);
  EXPECT_EQ(o.s.capacity, 1024u);
  EXPECT_EQ(moved - o.s.text, 6);
  EXPECT_EQ(*moved, '}');
}

TEST(JsonStatusGrow, StopsWhenTheBufferCannotGrow) {
  Owned o(-1, "{}");
  o.s.reallocate = refusingReallocate;
  EXPECT_EQ(grow(o.s.text + 1, &o.s), nullptr);
  EXPECT_EQ(grow(nullptr, &o.s), nullptr);
}

TEST(JsonStatusLocation, WritesTheSiteMembers) {
  Owned o;
  bool ok = true;
  char* at = setCodeWithLocation(o.s, -52000, kAllocatorLocation, &ok);
  ASSERT_NE(at, nullptr);
  EXPECT_TRUE(ok);
  EXPECT_EQ(o.s.code, -52000);
  EXPECT_EQ(o.text(), R"({"error_constant":"tqapalerr_memoryFull","file":"tqhtl/err/Allocator",)"
                      R"("line":32,"component":"tqvlkaepropinit"})");
  EXPECT_EQ(*at, '}');
  EXPECT_EQ(at[1], 0);
}

TEST(JsonStatusLocation, ReplacesAWarningsDetailAndSkipsAnEmptyComponent) {
  Owned o(4, R"({"warning":1})");
  const ErrorLocation site = {"tqsysq/stdpath", -3, "", "err"};
  bool ok = true;
  ASSERT_NE(setCodeWithLocation(o.s, -52008, site, &ok), nullptr);
  EXPECT_EQ(o.text(), R"({"error_constant":"err","file":"tqsysq/stdpath","line":-3})");
}

TEST(JsonStatusLocation, FirstErrorStands) {
  Owned o(-1, R"({"first":1})");
  bool ok = true;
  EXPECT_EQ(setCodeWithLocation(o.s, -2, kAllocatorLocation, &ok), nullptr);
  EXPECT_TRUE(ok);
  EXPECT_EQ(o.s.code, -1);
  EXPECT_EQ(o.text(), R"({"first":1})");
}

TEST(JsonStatusLocation, GrowsForALongFileName) {
  Owned o;
  const std::string file(700, 'f');
  const ErrorLocation site = {file.c_str(), 9, nullptr, "tqapalerr_osFault"};
  bool ok = true;
  ASSERT_NE(setCodeWithLocation(o.s, -52008, site, &ok), nullptr);
  EXPECT_TRUE(ok);
  EXPECT_EQ(o.s.capacity, 1024u);
  EXPECT_EQ(o.text(),
            R"({"error_constant":"tqapalerr_osFault","file":")" + file + R"(","line":9})");
}

TEST(JsonStatusLocation, ReportsAFailedMember) {
  Owned o;
  o.s.reallocate = refusingReallocate;
  bool ok = true;
  EXPECT_EQ(setCodeWithLocation(o.s, -1, kAllocatorLocation, &ok), nullptr);
  EXPECT_FALSE(ok);
  EXPECT_EQ(o.s.code, -1);  // the code is recorded all the same
}

// The detail of a failed user lookup in the path library: the site members,
// then nested objects added with the growing appendObject and left with
// leaveObject.
TEST(JsonStatusDetail, PathLibraryExample) {
  for (std::size_t messageLength : {25u, 700u}) {
    const std::string message =
        messageLength == 25 ? "No such file or directory" : std::string(messageLength, 'm');
    Owned o;
    const ErrorLocation site = {"tqsysq/stdpath", 337, "tqvlkaepropinit",
                                "tqapalerr_resourceNotFound"};
    bool ok = true;
    const json::Grower g = grower(o.s);
    char* at = setCodeWithLocation(o.s, -52006, site, &ok);
    char* inner = json::appendObject(at, "internal_error", g);
    inner = json::appendString(inner, "api", "errno", g);
    inner = json::appendInt(inner, "code", 2, g);
    inner = json::appendString(inner, "string", message.c_str(), g);
    at = json::leaveObject(inner);
    inner = json::appendObject(at, "tqsysq_debug", g);
    inner = json::appendString(inner, "desc", "getpwuid_r failed", g);
    at = json::leaveObject(inner);
    ASSERT_NE(at, nullptr) << messageLength;
    EXPECT_TRUE(ok);
    EXPECT_EQ(*at, '}');
    EXPECT_EQ(at[1], 0);
    EXPECT_EQ(o.s.code, -52006);
    EXPECT_EQ(o.s.capacity, messageLength == 25 ? 512u : 1024u);
    EXPECT_EQ(o.text(),
              R"({"error_constant":"tqapalerr_resourceNotFound","file":"tqsysq/stdpath",)"
              R"("line":337,"component":"tqvlkaepropinit","internal_error":{"api":"errno",)"
              R"("code":2,"string":")" +
                  message + R"("},"tqsysq_debug":{"desc":"getpwuid_r failed"}})");
    EXPECT_EQ(o.s.text[o.s.capacity - 1], 'J');
  }
}

// A 512-byte buffer holding {} has 508 bytes of free room: a member of
// exactly that size is written in place, one byte more makes it grow.
TEST(JsonStatusDetail, ExactFitDoesNotGrow) {
  for (std::size_t valueLength : {502u, 503u}) {
    Owned o(-1, "{}");
    ASSERT_EQ(o.s.capacity, 512u);
    const std::string value(valueLength, 'v');
    char* at = json::appendString(o.s.text + 1, "k", value.c_str(), grower(o.s));
    ASSERT_NE(at, nullptr);
    EXPECT_EQ(o.text(), R"({"k":")" + value + R"("})");
    if (valueLength == 502) {
      EXPECT_EQ(o.s.capacity, 512u);
      EXPECT_EQ(o.s.text[510], 0);  // the NUL right before the marker
      EXPECT_EQ(o.s.text[511], 'J');
    } else {
      EXPECT_EQ(o.s.capacity, 1024u);
      EXPECT_EQ(o.s.text[1023], 'J');
    }
  }
}

}  // namespace
}  // namespace tqerr
