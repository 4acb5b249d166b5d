// SPDX-License-Identifier: MIT
#include "tqapal/tTrace.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "tqapal/tqsdbg.h"

namespace nTQVLKAET100::nTQAPAL000 {
namespace {

// Captures what the console destination hands to the output function.
std::string gCaptured;
void capture(const char* text) { gCaptured += text; }

class ConsoleOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = tqsdbg_output;
    tqsdbg_output = capture;
    gCaptured.clear();
  }
  void TearDown() override { tqsdbg_output = saved_; }

 private:
  tqsdbgOutputFunction saved_ = nullptr;
};

TEST_F(ConsoleOutput, PrintfCutsAt511Characters) {
  const std::string longText(600, 'x');
  tqsdbg_printf("%s", longText.c_str());
  EXPECT_EQ(gCaptured, std::string(511, 'x'));
  gCaptured.clear();
  tqsdbg_printf("%d-%s", 7, "ok");
  EXPECT_EQ(gCaptured, "7-ok");
}

TEST_F(ConsoleOutput, WriteWithLengthPrintsAtMostThatMany) {
  tConsoleTraceDestination& console = consoleTraceDestination();
  console.write("abcdef", 3).write("gh");
  console.write("xy", 10);
  EXPECT_EQ(gCaptured, "abcghxy");
}

// The default output function writes the text to standard error as it is.
TEST(ConsoleDefaultOutput, WritesToStandardErrorWithoutNewline) {
  testing::internal::CaptureStderr();
  tqsdbg_printf("a=%u;", 5u);
  consoleTraceDestination().write("b").write("cdef", 2);
  std::fflush(stderr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "a=5;bcd");
}

// The format function receives the 512-byte buffer.
std::size_t gFormatSize = 0;
int recordingFormat(char* buffer, std::size_t size, const char* format, std::va_list arguments) {
  gFormatSize = size;
  return std::vsnprintf(buffer, size, format, arguments);
}

TEST_F(ConsoleOutput, FormatsIntoA512ByteBuffer) {
  const tqsdbgFormatFunction saved = tqsdbg_format;
  tqsdbg_format = recordingFormat;
  tqsdbg_printf("%s", std::string(511, 'y').c_str());
  tqsdbg_format = saved;
  EXPECT_EQ(gFormatSize, 512u);
  EXPECT_EQ(gCaptured, std::string(511, 'y'));
}

TEST(TraceDestination, DescribeOnShortBuffers) {
  struct Case {
    std::size_t size;
    std::string text;
    std::size_t endOffset;
  } cases[] = {
      {64, " --destination apal", 19},
      {20, " --destination apal", 19},
      {19, " --destination apa", 19},
      {5, " --d", 5},
      {1, "", 1},
  };
  tConsoleTraceDestination console;
  for (const Case& c : cases) {
    char buffer[64];
    std::memset(buffer, '#', sizeof(buffer));
    std::size_t needed = 0;
    char* end = console.describe(buffer, c.size, &needed);
    EXPECT_EQ(std::string(buffer), c.text) << c.size;
    EXPECT_EQ(end - buffer, static_cast<std::ptrdiff_t>(c.endOffset)) << c.size;
    EXPECT_EQ(needed, 20u) << c.size;
  }
  std::size_t needed = 0;
  EXPECT_EQ(console.describe(nullptr, 10, &needed), nullptr);
  EXPECT_EQ(needed, 20u);
  char untouched[4] = {'#', '#', '#', 0};
  console.describe(untouched, 0, &needed);
  EXPECT_STREQ(untouched, "###");
}

TEST(TraceDestination, Queries) {
  tConsoleTraceDestination console;
  EXPECT_STREQ(console.name(), "tqsdbg_printf");
  EXPECT_TRUE(console.isAvailable());
}

TEST(Trace, ProcessObjectIsSetUpBeforeMain) {
  const tTrace& trace = processTrace();
  EXPECT_EQ(trace.destination(), &consoleTraceDestination());
  const unsigned char options[7] = {1, 1, 0, 1, 1, 0, 0};
  const unsigned char flags[4] = {0, 0, 1, 1};
  EXPECT_EQ(std::memcmp(trace.options(), options, 7), 0);
  EXPECT_EQ(std::memcmp(trace.flags(), flags, 4), 0);
  EXPECT_EQ(trace.limit(), 50u);
  EXPECT_EQ(trace.word(), 0u);
}

TEST(IntegerToText, Bases) {
  struct Case {
    unsigned long long value;
    unsigned base;
    const char* text;
  } cases[] = {
      {0, 10, "0"},     {1234, 10, "1234"}, {255, 16, "0xFF"},
      {0, 16, "0x0"},   {5, 2, "2#101"},    {35, 36, "36#Z"},
      {18446744073709551615ull, 10, "18446744073709551615"},
  };
  for (const Case& c : cases) {
    char buffer[80];
    char* end = integerToText(c.value, c.base, buffer);
    EXPECT_STREQ(buffer, c.text);
    EXPECT_EQ(end, buffer + std::strlen(c.text));
  }
}

}  // namespace
}  // namespace nTQVLKAET100::nTQAPAL000
