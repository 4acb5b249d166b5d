// SPDX-License-Identifier: MIT
#include "tqsysq/stdpath_util.h"

#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/tqsysq/scopedFixtures.h"

namespace tqsysq {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

bool isDirectory(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string text(const tqerr::JsonStatus& status) {
  return status.text ? status.text : "";
}

TEST(TrimPath, Cases) {
  struct Case {
    std::string in;
    std::string out;
  } cases[] = {
      {"/a/b", "/a/b"},
      {"/a/b/", "/a/b"},
      {"/a/b//\n", "/a/b"},
      {"  /srv/share//\n", "/srv/share"},
      {std::string("/a\0\0", 4), "/a"},
      {std::string("/a\0/ \t", 6), "/a"},
      {"//a//b", "//a//b"},  // leading and inner slashes stay
      {"/", ""},
      {"///", ""},
      {" \t\n", ""},
      {"", ""},
      {"a b ", "a b"},
  };
  for (const Case& c : cases) {
    std::string path = c.in;
    trimPath(path);
    EXPECT_EQ(path, c.out) << "input '" << c.in << "'";
  }
}

TEST(MakeDirectory, CreatesOrFindsOrReports) {
  tqtest::ScopedTempDir dir;
  const std::string file = dir.write("plain", "x");
  struct Case {
    const char* name;
    std::string path;
    std::int32_t code;
    bool existed;
    const char* detail;  // expected in the detail text
  } cases[] = {
      {"new", dir / "new", 0, false, nullptr},
      {"existing", dir.path(), 0, true, nullptr},
      {"file in the way", file, -52013, false,
       "\"error_constant\":\"tqapalerr_objectNameCollision\",\"file\":\"tqsysq/stdpath_util\","
       "\"line\":179"},
      {"missing parent", dir / "no/such", -52006, false,
       "\"line\":194,\"component\":\"tqvlkaepropinit\",\"internal_error\":{\"api\":\"errno\","
       "\"code\":2,\"string\":\"No such file or directory\"},\"tqsysq_debug\":{\"desc\":"
       "\"parent not found\"}}"},
      {"file as parent", file + "/sub", -52008, false, "\"desc\":\"mkdir failed\",\"path\":"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    tqerr::JsonStatus status;
    bool existed = !c.existed;
    makeDirectory(c.path.c_str(), status, &existed);
    EXPECT_EQ(status.code, c.code);
    if (c.code == 0) {
      EXPECT_EQ(existed, c.existed);
      EXPECT_TRUE(isDirectory(c.path));
    } else {
      EXPECT_THAT(text(status), HasSubstr(c.detail));
    }
    tqerr::release(status);
  }
}

// Directories are made for the user alone, at every level of a chain.
TEST(MakeDirectory, OwnerOnlyPermissions) {
  tqtest::ScopedTempDir dir;
  const mode_t mask = umask(0);
  umask(mask);
  tqerr::JsonStatus status;
  makeDirectory((dir / "one").c_str(), status, nullptr);
  makeDirectories((dir / "a/b").c_str(), makeDirectory, status, nullptr);
  ASSERT_EQ(status.code, 0);
  for (const char* level : {"one", "a", "a/b"}) {
    struct stat info;
    ASSERT_EQ(stat((dir / level).c_str(), &info), 0) << level;
    EXPECT_EQ(info.st_mode & 07777, 0700 & ~mask) << level;
  }
}

TEST(MakeDirectory, NotADirectoryDetailNamesThePath) {
  tqtest::ScopedTempDir dir;
  const std::string file = dir.write("plain", "x");
  tqerr::JsonStatus status;
  makeDirectory(file.c_str(), status, nullptr);
  EXPECT_EQ(text(status),
            "{\"error_constant\":\"tqapalerr_objectNameCollision\",\"file\":\"tqsysq/"
            "stdpath_util\",\"line\":179,\"component\":\"tqvlkaepropinit\",\"internal_error\":{"
            "\"api\":\"errno\",\"code\":17,\"string\":\"File exists\"},\"tqsysq_debug\":{\"desc\":"
            "\"path exist but not a dir\",\"path\":\"" +
                file + "\"}}");
  tqerr::release(status);
}

TEST(MakeDirectory, MissingParentHasNoPathMember) {
  tqtest::ScopedTempDir dir;
  tqerr::JsonStatus status;
  makeDirectory((dir / "a/b").c_str(), status, nullptr);
  EXPECT_THAT(text(status), Not(HasSubstr("\"path\"")));
  tqerr::release(status);
}

// Records the levels in the order they are asked for.
std::vector<std::string>* g_calls = nullptr;
void recordingCreator(const char* path, tqerr::JsonStatus& status, bool* existed) {
  g_calls->push_back(path);
  makeDirectory(path, status, existed);
}

TEST(MakeDirectories, CreatesTheChainShortestFirst) {
  tqtest::ScopedTempDir dir;
  std::vector<std::string> calls;
  g_calls = &calls;
  tqerr::JsonStatus status;
  bool existed = true;
  makeDirectories((dir / "a/b/c").c_str(), recordingCreator, status, &existed);
  EXPECT_EQ(status.code, 0);
  EXPECT_FALSE(existed);
  EXPECT_TRUE(isDirectory(dir / "a/b/c"));
  EXPECT_THAT(calls,
              ElementsAre(dir / "a/b/c", dir / "a/b", dir / "a", dir / "a/b", dir / "a/b/c"));

  // Asked again, the whole chain exists.
  calls.clear();
  makeDirectories((dir / "a/b/c").c_str(), recordingCreator, status, &existed);
  EXPECT_EQ(status.code, 0);
  EXPECT_TRUE(existed);
  EXPECT_THAT(calls, ElementsAre(dir / "a/b/c"));
  g_calls = nullptr;
}

TEST(MakeDirectories, FailureOtherThanMissingParentStopsAtOnce) {
  tqtest::ScopedTempDir dir;
  dir.write("a", "file in the way");
  tqerr::JsonStatus status;
  makeDirectories((dir / "a/b").c_str(), makeDirectory, status, nullptr);
  // a/b fails with ENOTDIR (-52008), which is not a missing parent.
  EXPECT_EQ(status.code, -52008);
  EXPECT_THAT(text(status), HasSubstr("\"desc\":\"mkdir failed\""));
  tqerr::release(status);

  tqerr::JsonStatus second;
  makeDirectories((dir / "a").c_str(), makeDirectory, second, nullptr);
  EXPECT_EQ(second.code, -52013);
  tqerr::release(second);
}

TEST(MakeDirectories, RelativeChainWithoutRootReportsMissingParent) {
  // No "/" is left to shorten a relative name whose first level cannot be
  // made: mkdir of "" fails with ENOENT.
  tqerr::JsonStatus status;
  makeDirectories("", makeDirectory, status, nullptr);
  EXPECT_EQ(status.code, -52006);
  EXPECT_THAT(text(status), HasSubstr("parent not found"));
  tqerr::release(status);
}

TEST(MakeDirectories, DoesNothingAfterAnError) {
  tqtest::ScopedTempDir dir;
  tqerr::JsonStatus status;
  status.code = -52005;
  makeDirectories((dir / "a").c_str(), makeDirectory, status, nullptr);
  EXPECT_EQ(status.code, -52005);
  EXPECT_FALSE(isDirectory(dir / "a"));
}

TEST(ReadWholeFile, ContentFollowedByOneNul) {
  tqtest::ScopedTempDir dir;
  struct Case {
    std::string content;
  } cases[] = {{""}, {"abc"}, {std::string("a\0b\n", 4)}, {std::string(70000, 'q')}};
  for (const Case& c : cases) {
    const std::string file = dir.write("f", c.content);
    ByteBuffer buffer = {'o', 'l', 'd'};
    tqerr::JsonStatus status;
    readWholeFile(file.c_str(), buffer, status);
    EXPECT_EQ(status.code, 0);
    ASSERT_EQ(buffer.size(), c.content.size() + 1);
    EXPECT_EQ(std::string(buffer.data(), c.content.size()), c.content);
    EXPECT_EQ(buffer.back(), 0);
  }
}

TEST(ReadWholeFile, MissingFile) {
  tqtest::ScopedTempDir dir;
  const std::string file = dir / "missing";
  ByteBuffer buffer;
  tqerr::JsonStatus status;
  readWholeFile(file.c_str(), buffer, status);
  EXPECT_EQ(status.code, -52006);
  EXPECT_EQ(text(status),
            "{\"error_constant\":\"tqapalerr_resourceNotFound\",\"file\":\"tqsysq/stdpath_util\","
            "\"line\":224,\"component\":\"tqvlkaepropinit\",\"internal_error\":{\"api\":"
            "\"errno\",\"code\":2,\"string\":\"No such file or directory\"},\"tqsysq_debug\":{"
            "\"desc\":\"error opening file\",\"filename\":\"" +
                file + "\"}}");
  tqerr::release(status);
}

// A sysfs attribute claims a page by its size but yields only its text.
TEST(ReadWholeFile, ShortReadIsReported) {
  const std::string file = "/sys/devices/system/cpu/online";
  const std::string content = tqtest::readFile(file);
  struct stat info;
  if (stat(file.c_str(), &info) != 0 || content.empty() ||
      static_cast<std::size_t>(info.st_size) <= content.size()) {
    GTEST_SKIP() << file << " does not claim more than it holds here";
  }
  const std::size_t claimed = static_cast<std::size_t>(info.st_size);
  ByteBuffer buffer;
  tqerr::JsonStatus status;
  readWholeFile(file.c_str(), buffer, status);
  EXPECT_EQ(status.code, -52008);
  EXPECT_THAT(text(status),
              ::testing::StartsWith("{\"error_constant\":\"tqapalerr_osFault\",\"file\":\"tqsysq/"
                                    "stdpath_util\",\"line\":249,\"component\":\"tqvlkaepropinit\","
                                    "\"internal_error\":{\"api\":\"errno\",\"code\":"));
  EXPECT_THAT(text(status),
              ::testing::EndsWith("},\"tqsysq_debug\":{\"desc\":\"didn't read full content of "
                                  "file\",\"fileSize\":" +
                                  std::to_string(claimed) +
                                  ",\"fread_return\":" + std::to_string(content.size()) +
                                  ",\"filename\":\"" + file + "\"}}"));
  // What was read stands, the rest is zero, and byte n is the NUL.
  ASSERT_EQ(buffer.size(), claimed + 1);
  EXPECT_EQ(std::string(buffer.data(), content.size()), content);
  EXPECT_EQ(std::string(buffer.data() + content.size()), "");
  EXPECT_EQ(buffer.back(), 0);
  tqerr::release(status);
}

TEST(ReadWholeFile, DirectoryHasNoSize) {
  tqtest::ScopedTempDir dir;
  ByteBuffer buffer;
  tqerr::JsonStatus status;
  readWholeFile(dir.path().c_str(), buffer, status);
  EXPECT_EQ(status.code, -52008);
  EXPECT_THAT(text(status), HasSubstr("\"line\":237"));
  EXPECT_THAT(text(status), HasSubstr("\"code\":21"));  // EISDIR
  EXPECT_THAT(buffer, ElementsAre(0));
  tqerr::release(status);
}

TEST(ReadWholeFile, DoesNothingAfterAnError) {
  tqtest::ScopedTempDir dir;
  const std::string file = dir.write("f", "abc");
  ByteBuffer buffer;
  tqerr::JsonStatus status;
  status.code = -1;
  readWholeFile(file.c_str(), buffer, status);
  EXPECT_EQ(status.code, -1);
  EXPECT_TRUE(buffer.empty());
}

}  // namespace
}  // namespace tqsysq
