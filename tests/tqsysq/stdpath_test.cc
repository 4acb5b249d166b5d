// SPDX-License-Identifier: MIT
#include "tqsysq/stdpath.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <optional>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "error/Exception.h"
#include "tests/tqsysq/scopedFixtures.h"
#include "tqsysq/stdpath_util.h"

namespace tqsysq {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

bool isDirectory(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

typedef std::optional<std::string> Env;

TEST(UserConfigDir, FromTheEnvironment) {
  struct Case {
    Env xdg;
    Env home;
    std::string expected;
  } cases[] = {
      {"/home/u/cfg/", "/home/v", "/home/u/cfg"},  // nothing appended to XDG_CONFIG_HOME
      {"/", "/home/v", ""},
      {" /x/y//\n", std::nullopt, "/x/y"},
      {std::nullopt, "/home/u/", "/home/u/.config"},
      {std::nullopt, "/", "/.config"},
      {std::nullopt, "", "/.config"},
  };
  for (const Case& c : cases) {
    tqtest::ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
    tqtest::ScopedEnv home("HOME", c.home);
    EXPECT_EQ(SysqWrapper().getUserConfigDir(false), c.expected)
        << "XDG_CONFIG_HOME=" << c.xdg.value_or("(unset)")
        << " HOME=" << c.home.value_or("(unset)");
  }
}

TEST(UserConfigDir, PasswordDatabaseWithoutHome) {
  const struct passwd* entry = getpwuid(getuid());
  if (entry == nullptr) GTEST_SKIP() << "no password database entry for this user";
  std::string home = entry->pw_dir;
  trimPath(home);
  tqtest::ScopedEnv xdg("XDG_CONFIG_HOME", std::nullopt);
  tqtest::ScopedEnv unsetHome("HOME", std::nullopt);
  EXPECT_EQ(SysqWrapper().getUserConfigDir(false), home + "/.config");
}

// Without HOME, a user that the password database does not know has no home
// directory; the failed lookup is reported at its site and the class
// operation throws it. Run as another user in a child process.
TEST(UserConfigDirDeathTest, UserWithoutPasswordEntry) {
  if (geteuid() != 0) GTEST_SKIP() << "changing the user id needs root";
  uid_t unknown = 54321;
  while (getpwuid(unknown) != nullptr) ++unknown;
  tqtest::ScopedEnv xdg("XDG_CONFIG_HOME", std::nullopt);
  tqtest::ScopedEnv home("HOME", std::nullopt);
  const std::string expected =
      "{\"error_constant\":\"tqapalerr_resourceNotFound\",\"file\":\"tqsysq/stdpath\","
      "\"line\":337,\"component\":\"tqvlkaepropinit\",\"internal_error\":{\"api\":"
      "\"errno\",\"code\":2,\"string\":\"No such file or directory\"},\"tqsysq_debug\":{"
      "\"desc\":\"getpwuid_r found no entry\"}}";
  EXPECT_EXIT(
      {
        if (setuid(unknown) != 0) _exit(2);
        tqerr::JsonStatus status;
        const std::string dir = userConfigDir(false, status);
        const std::string detail = status.text ? status.text : "";
        std::fprintf(stderr, "code %d, dir '%s', detail %s\n", status.code, dir.c_str(),
                     detail.c_str());
        bool thrown = false;
        try {
          SysqWrapper().getUserConfigDir(false);
        } catch (const tqerr::Exception& e) {
          thrown = e.code() == -52006 && e.what() == expected;
        }
        _exit(status.code == -52006 && dir.empty() && detail == expected && thrown ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(UserConfigDir, CreatesTheWholeXdgChain) {
  tqtest::ScopedTempDir dir;
  tqtest::ScopedEnv xdg("XDG_CONFIG_HOME", dir / "a/b/");
  EXPECT_EQ(SysqWrapper().getUserConfigDir(true), dir / "a/b");
  EXPECT_TRUE(isDirectory(dir / "a/b"));
}

TEST(UserConfigDir, CreatesOnlyTheLastLevelBelowHome) {
  tqtest::ScopedTempDir dir;
  tqtest::ScopedEnv xdg("XDG_CONFIG_HOME", std::nullopt);
  {
    tqtest::ScopedEnv home("HOME", dir.path());
    EXPECT_EQ(SysqWrapper().getUserConfigDir(true), dir / ".config");
    EXPECT_TRUE(isDirectory(dir / ".config"));
  }
  tqtest::ScopedEnv home("HOME", dir / "gone");
  try {
    SysqWrapper().getUserConfigDir(true);
    FAIL() << "a missing home directory was not reported";
  } catch (const tqerr::Exception& e) {
    EXPECT_EQ(e.code(), -52006);
    EXPECT_THAT(e.what(), HasSubstr("parent not found"));
  }
  EXPECT_FALSE(isDirectory(dir / "gone"));
}

TEST(TempDir, FromTmpdir) {
  struct Case {
    Env tmpdir;
    std::string expected;
  } cases[] = {
      {std::nullopt, "/tmp"}, {"", ""}, {"/scratch/", "/scratch/"},  // unchanged, not trimmed
  };
  for (const Case& c : cases) {
    tqtest::ScopedEnv tmpdir("TMPDIR", c.tmpdir);
    EXPECT_EQ(SysqWrapper().getTempDir(), c.expected) << c.tmpdir.value_or("(unset)");
  }
}

TEST(ShareDir, PointerFile) {
  tqtest::ScopedTempDir dir;
  struct Case {
    const char* name;
    std::string file;
    std::string expected;
  } cases[] = {
      {"trimmed", dir.write("spaced", "  /srv/share//\n"), "/srv/share"},
      {"plain", dir.write("plain", "/opt/x/share\n"), "/opt/x/share"},
      {"empty", dir.write("empty", ""), ""},
      {"missing", dir / "missing", kDefaultShareDir},
      {"directory", dir.path(), kDefaultShareDir},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(shareDirFrom(c.file.c_str()), c.expected) << c.name;
  }
}

TEST(ShareDir, DefaultWithoutPointerFile) {
  if (access(kSharePointerFile, F_OK) == 0) GTEST_SKIP() << kSharePointerFile << " exists here";
  EXPECT_EQ(SysqWrapper().getShareDir(), "/usr/local/zorbtek/share");
  EXPECT_EQ(SysqWrapper().getShareDataDir(), "/usr/local/zorbtek/share");
}

// Each name is the caller's own: an empty regular file (not a link another
// program planted) that only its owner may open.
TEST(TempFileName, FreshNamesReservedForTheCaller) {
  SysqWrapper wrapper;
  const std::string first = wrapper.getTempFileName();
  const std::string second = wrapper.getTempFileName();
  EXPECT_THAT(first, StartsWith(P_tmpdir));
  EXPECT_NE(first, second);
  for (const std::string& name : {first, second}) {
    struct stat info {};
    ASSERT_EQ(::lstat(name.c_str(), &info), 0) << name;
    EXPECT_TRUE(S_ISREG(info.st_mode)) << name;
    EXPECT_EQ(info.st_mode & 0777, 0600u) << name;
    EXPECT_EQ(info.st_uid, ::geteuid()) << name;
    EXPECT_EQ(info.st_size, 0) << name;
    ::unlink(name.c_str());
  }
}

}  // namespace
}  // namespace tqsysq
