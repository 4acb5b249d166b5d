// SPDX-License-Identifier: MIT
#include "productpath/cPath.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "error/cExceptionBase.h"
#include "tests/tqsysq/scopedFixtures.h"

namespace nTQVLKAET100 {
namespace vlpath {
namespace {

using nENSPAN000::cExceptionBase;

// Location word of one of the tool's own throw sites (module 22, file 1).
std::uint32_t site(std::uint32_t line, std::uint32_t kind) {
  return 0x80000000u | 22u << 26 | 1u << 16 | kind << 14 | line;
}

struct Thrown {
  bool thrown = false;
  std::int32_t code = 0;
  std::uint32_t location = 0;
  std::string what;
};

Thrown catchPath(const std::function<void()>& action) {
  Thrown t;
  try {
    action();
  } catch (const cExceptionBase& e) {
    t = {true, e.code(), e.location(), e.what()};
  }
  return t;
}

bool isDirectory(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool sharePointerFilePresent() {
  return access(tqsysq::kSharePointerFile, F_OK) == 0;
}

// Every kind with the built-in defaults (no relocation library), TMPDIR and
// XDG_CONFIG_HOME pointed at known places.
TEST(cPath, EveryKind) {
  tqtest::ScopedTempDir dir;
  const std::string cfg = dir / "cfg";
  tqtest::ScopedEnv xdg("XDG_CONFIG_HOME", cfg + "/");
  tqtest::ScopedEnv tmpdir("TMPDIR", std::string("/scratch/"));
  const std::string share = "/usr/local/zorbtek/share";
  const std::string expected[24] = {
      "/var/lib/tq-vlnk",
      "/var/lib/tq-vlnk/dbCache",
      cfg + "/tq-vlnk",
      "/var/lib/tq-vlnk/log",
      "/usr/share/tq-vlnk/firmware",
      "/usr/share/tq-vlnk",
      "/var/lib/tq-vlnk",
      share + "/errors/English",
      share + "/errors/German",
      share + "/errors/French",
      share + "/errors/Japanese",
      "/var/lib/tq-vlnk/log",
      "/var/lib/tq-vlnk/log",
      "/scratch/tq-vlnk",
      "/var/lib/tq-vlnk",
      cfg + "/tq-vlnk",
      "/usr/share/tq-vlnk",
      "/home/kbuser",
      "/var/lib/tq-vlnk",
      "/usr/share/tq-vlnk/assistant",
      "/usr/share/tq-vlnk/assistant",
      cfg + "/tq-vlnk",
      "/usr/share/tq-vlnk",
      "/usr/share/tq-vlnk/examples",
  };
  cSysqWrapper wrapper;
  for (std::uint32_t kind = 0; kind < 24; ++kind) {
    if (kind >= 7 && kind <= 10 && sharePointerFilePresent()) continue;
    EXPECT_EQ(cPath(kind, wrapper).getUtf8(), expected[kind]) << "kind " << kind;
  }
}

TEST(cPath, SettingsFile) {
  cSysqWrapper wrapper;
  cPath path(18, wrapper);
  path.appendUtf8("tqvlkae.ini");
  EXPECT_EQ(path.getMbs(), "/var/lib/tq-vlnk/tqvlkae.ini");
}

TEST(cPath, KindAboveTheTable) {
  cSysqWrapper wrapper;
  const Thrown t = catchPath([&] { cPath(24, wrapper); });
  ASSERT_TRUE(t.thrown);
  EXPECT_EQ(t.code, 1);
  EXPECT_EQ(t.what, "0x00000001");
  EXPECT_EQ(t.location, site(171, 2));
}

TEST(cPath, ConfigurationKindsCreateOrNot) {
  tqtest::ScopedTempDir dir;
  tqtest::ScopedEnv xdg("XDG_CONFIG_HOME", std::nullopt);
  tqtest::ScopedEnv home("HOME", dir.path());
  cSysqWrapper wrapper;

  EXPECT_EQ(cPath(21, wrapper).getUtf8(), dir / ".config/tq-vlnk");
  EXPECT_FALSE(isDirectory(dir / ".config"));

  EXPECT_EQ(cPath(2, wrapper).getUtf8(), dir / ".config/tq-vlnk");
  EXPECT_TRUE(isDirectory(dir / ".config/tq-vlnk"));
  EXPECT_EQ(cPath(15, wrapper).getUtf8(), dir / ".config/tq-vlnk");  // already there
}

TEST(cPath, CreationFailureIsAdopted) {
  tqtest::ScopedTempDir dir;
  dir.write("file", "a plain file");
  cSysqWrapper wrapper;
  {
    // A plain file as the configuration directory: mkdir file/tq-vlnk fails
    // with ENOTDIR.
    tqtest::ScopedEnv xdg("XDG_CONFIG_HOME", dir / "file");
    const Thrown t = catchPath([&] { cPath(2, wrapper); });
    EXPECT_EQ(t.code, -52008);
    EXPECT_EQ(t.location, site(59, 3));
  }
  // A plain file where the product directory belongs.
  dir.write("tq-vlnk", "x");
  tqtest::ScopedEnv xdg("XDG_CONFIG_HOME", dir.path());
  const Thrown t = catchPath([&] { cPath(15, wrapper); });
  EXPECT_EQ(t.code, -52013);
  EXPECT_EQ(t.location, site(59, 3));
}

TEST(cPath, KbUserWhateverTheEnvironment) {
  tqtest::ScopedEnv home("HOME", std::string("/elsewhere"));
  tqtest::ScopedEnv xdg("XDG_CONFIG_HOME", std::string("/other"));
  cSysqWrapper wrapper;
  EXPECT_EQ(cPath(17, wrapper).getUtf8(), "/home/kbuser");
}

TEST(cPath, JoiningRules) {
  struct Case {
    std::string component;
    std::string expected;
  } cases[] = {
      {"x", "/home/kbuser/x"},
      {"x/", "/home/kbuser/x"},
      {"/x", "/home/kbuser//x"},  // a leading separator stays
      {" x \n", "/home/kbuser/x"},
      {"x/y", "/home/kbuser/x/y"},
      {"", "/home/kbuser/"},
      {" \t", "/home/kbuser/"},
      {"\xC3\xA9t\xC3\xA9", "/home/kbuser/\xC3\xA9t\xC3\xA9"},
  };
  cSysqWrapper wrapper;
  for (const Case& c : cases) {
    cPath path(17, wrapper);
    EXPECT_EQ(path.appendUtf8(c.component).getUtf8(), c.expected) << "'" << c.component << "'";
  }

  cPath chained(17, wrapper);
  chained.appendUtf8("a/").appendUtf8("b").appendMbs("c");
  EXPECT_EQ(chained.getUtf8(), "/home/kbuser/a/b/c");
}

TEST(cPath, RootAloneIsTrimmedAway) {
  tqtest::ScopedEnv tmpdir("TMPDIR", std::string("/"));
  cSysqWrapper wrapper;
  EXPECT_EQ(cPath(13, wrapper).getUtf8(), "tq-vlnk");
}

TEST(cPath, InvalidUtf8LeavesThePath) {
  const char* invalid[] = {
      "\xC0\x80",          // overlong NUL
      "\xE0\x80\x80",      // overlong three-byte form
      "\xF0\x80\x80\x80",  // overlong four-byte form
      "\xED\xA0\x80",      // surrogate D800
      "\xF4\x90\x80\x80",  // above 10FFFF
      "\x80",              // continuation without lead
      "a\xC3",             // cut short
      "\xC3\x41",          // lead without continuation
      "\xF8\x88\x80\x80\x80",
      "\xFF",
  };
  cSysqWrapper wrapper;
  for (const char* component : invalid) {
    cPath path(17, wrapper);
    const Thrown t = catchPath([&] { path.appendUtf8(component); });
    EXPECT_TRUE(t.thrown) << component;
    EXPECT_EQ(t.code, 1);
    EXPECT_EQ(t.location, site(513, 2));
    EXPECT_EQ(path.getUtf8(), "/home/kbuser");
  }
}

TEST(cPath, MultibyteConversionsInTheCLocale) {
  cSysqWrapper wrapper;
  cPath path(17, wrapper);
  path.appendMbs(nullptr);
  EXPECT_EQ(path.getMbs(), "/home/kbuser/");

  const Thrown in = catchPath([&] { cPath(17, wrapper).appendMbs("\xC3\xA9"); });
  EXPECT_EQ(in.code, -52027);
  EXPECT_EQ(in.location, site(59, 3));

  cPath accented(17, wrapper);
  accented.appendUtf8("\xC3\xA9");
  const Thrown out = catchPath([&] { accented.getMbs(); });
  EXPECT_EQ(out.code, -52027);
  EXPECT_EQ(out.location, site(59, 3));
  char buffer[64];
  EXPECT_EQ(catchPath([&] { accented.copyMbs(buffer, sizeof buffer); }).code, -52027);
}

TEST(cPath, BoundedCopies) {
  cSysqWrapper wrapper;
  cPath path(17, wrapper);  // 12 characters
  const std::size_t exact = path.getUtf8().size() + 1;
  for (auto copy : {&cPath::copyUtf8, &cPath::copyMbs}) {
    char buffer[32];
    std::memset(buffer, '#', sizeof buffer);
    (path.*copy)(buffer, exact);
    EXPECT_STREQ(buffer, "/home/kbuser");
    EXPECT_EQ(buffer[exact], '#');

    const Thrown shorter = catchPath([&] { (path.*copy)(buffer, exact - 1); });
    EXPECT_EQ(shorter.code, static_cast<std::int32_t>(0xBFF63258u));
    EXPECT_EQ(shorter.location, site(76, 1));
    const Thrown null = catchPath([&] { (path.*copy)(nullptr, exact); });
    EXPECT_EQ(null.code, static_cast<std::int32_t>(0xBFF63259u));
    EXPECT_EQ(null.location, site(71, 1));
  }
}

}  // namespace
}  // namespace vlpath
}  // namespace nTQVLKAET100
