// SPDX-License-Identifier: MIT
#include "tqapal/protons/enumeration/linuxU/linuxDevEnumHelper.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/statusChecks.h"
#include "support/tempDirectory.h"

namespace nTQVLKAET100::nTQAPAL000 {
namespace {

using tqtest::reportedAt;

const std::string kHelper = "tqapal/protons/enumeration/linuxU/linuxDevEnumHelper";

tFixedPath untouchedPath() {
  tFixedPath path;
  std::memset(path.text, '#', sizeof(path.text));
  path.length = 99;
  return path;
}

struct PathCase {
  const char* name;
  std::size_t size;
  std::int64_t code;  // 0: accepted
};

TEST(ReadPathFile, AcceptsUpTo255BytesVerbatim) {
  const PathCase cases[] = {
      {"empty", 0, 0},
      {"short", 5, 0},
      {"longest", 255, 0},
      {"one too many", 256, -52019},
      {"beyond one read", 5000, -52019},
  };
  tqtest::tTempDirectory dir;
  for (const PathCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::string content(c.size, 'p');
    if (c.size > 2) content[c.size - 1] = '\n';  // nothing is stripped
    const std::string file = dir.writeFile("interfacePath", content);
    tFixedPath path = untouchedPath();
    tStatus status;
    readPathFile(file.c_str(), path, status);
    if (c.code == 0) {
      EXPECT_EQ(status.code, 0);
      EXPECT_EQ(path.length, c.size + 1);
      EXPECT_EQ(std::string(path.text), content);
    } else {
      EXPECT_TRUE(reportedAt(status, c.code, kHelper, 72));
      EXPECT_EQ(path.length, 99u);
      EXPECT_EQ(path.text[0], '#');
    }
  }
}

TEST(ReadPathFile, MissingFileIsNotFoundAtLine87) {
  tqtest::tTempDirectory dir;
  tFixedPath path = untouchedPath();
  tStatus status;
  readPathFile((dir.path() + "/absent").c_str(), path, status);
  EXPECT_TRUE(reportedAt(status, -52006, kHelper, 87));
  EXPECT_EQ(path.length, 99u);
}

TEST(ReadPathFile, StreamErrorIsReadErrorAtLine78) {
  // A directory opens as a stream but cannot be read.
  tqtest::tTempDirectory dir;
  tFixedPath path = untouchedPath();
  tStatus status;
  readPathFile(dir.path().c_str(), path, status);
  EXPECT_TRUE(reportedAt(status, -52024, kHelper, 78));
  EXPECT_EQ(path.length, 99u);
}

TEST(ReadPathFile, FailedStatusReadsNothing) {
  tqtest::tTempDirectory dir;
  const std::string file = dir.writeFile("interfacePath", "/dev/x");
  tFixedPath path = untouchedPath();
  tStatus status = tqtest::failedStatus();
  readPathFile(file.c_str(), path, status);
  EXPECT_EQ(status.code, -1);
  EXPECT_EQ(status.line, 7u);
  EXPECT_EQ(path.length, 99u);
}

struct RawCase {
  const char* name;
  std::string content;
  bool withBuffer;
  std::int64_t code;
};

TEST(ReadRawFile, FillsOnlyWhatFitsAndAlwaysReportsTheSize) {
  const RawCase cases[] = {
      {"exact", std::string("\x01\x02\x03\x04", 4), true, 0},
      {"shorter keeps the rest", std::string("\xAA\xBB", 2), true, 0},
      {"empty", std::string(), true, 0},
      {"longer than the buffer", std::string("12345"), true, -52019},
      {"size query", std::string("1234567"), false, -52019},
  };
  tqtest::tTempDirectory dir;
  for (const RawCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = dir.writeFile("property", c.content);
    unsigned char buffer[4] = {0, 0, 0, 0};
    std::size_t bytesRead = 12345;
    tStatus status;
    readRawFile(file.c_str(), c.withBuffer ? buffer : nullptr, sizeof(buffer), &bytesRead, status);
    EXPECT_EQ(bytesRead, c.content.size());
    unsigned char expected[4] = {0, 0, 0, 0};
    if (c.code == 0) {
      EXPECT_EQ(status.code, 0);
      std::memcpy(expected, c.content.data(), c.content.size());
    } else {
      EXPECT_TRUE(reportedAt(status, c.code, kHelper, 72));
    }
    EXPECT_EQ(std::memcmp(buffer, expected, sizeof(buffer)), 0);
  }
}

TEST(ReadRawFile, HostByteOrderIntoAU32) {
  tqtest::tTempDirectory dir;
  const std::string file = dir.writeFile("SerialNum", std::string("\x78\x56\x34\x12", 4));
  std::uint32_t serial = 0;
  tStatus status;
  readRawFile(file.c_str(), &serial, sizeof(serial), nullptr, status);
  EXPECT_EQ(status.code, 0);
  EXPECT_EQ(serial, 0x12345678u);
}

TEST(ReadRawFile, FailuresLeaveTheCountAlone) {
  tqtest::tTempDirectory dir;
  struct {
    const char* name;
    std::string path;
    std::int64_t code;
    std::uint64_t line;
  } const cases[] = {
      {"missing", dir.path() + "/absent", -52006, 87},
      {"unreadable stream", dir.path(), -52024, 78},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::uint32_t value = 0x5A5A5A5A;
    std::size_t bytesRead = 12345;
    tStatus status;
    readRawFile(c.path.c_str(), &value, sizeof(value), &bytesRead, status);
    EXPECT_TRUE(reportedAt(status, c.code, kHelper, c.line));
    EXPECT_EQ(bytesRead, 12345u);
    EXPECT_EQ(value, 0x5A5A5A5Au);
  }
}

TEST(ReadRawFile, WarningDoesNotStopTheRead) {
  tqtest::tTempDirectory dir;
  const std::string file = dir.writeFile("NumPorts", std::string("\x03\x00\x00\x00", 4));
  std::uint32_t ports = 0;
  tStatus status;
  setCode(status, 5, "earlier", "earlier/site", 3);
  readRawFile(file.c_str(), &ports, sizeof(ports), nullptr, status);
  EXPECT_EQ(ports, 3u);
  EXPECT_EQ(status.code, 5);
}

}  // namespace
}  // namespace nTQVLKAET100::nTQAPAL000
