// SPDX-License-Identifier: MIT
// The relocation library itself, loaded from copies placed in temporary
// installation trees.
#include <dlfcn.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/reloc/relocation_dir.h"
#include "tests/tqsysq/scopedFixtures.h"

namespace {

using ::testing::HasSubstr;

typedef int (*GetRelocatedDir)(const char*, char*, int);

// The library copied to tree/lib, its configuration file (if any) at
// configFile below tree.
class Tree {
 public:
  explicit Tree(const std::string& configFile = "", const std::string& config = "") {
    std::filesystem::create_directories(dir_ / "lib");
    std::filesystem::create_directories(dir_ / "etc");
    tqtest::makeRelocationDir(dir_ / "lib", {});
    std::filesystem::remove(dir_ / "lib/tqrelocations.conf");
    if (!configFile.empty()) dir_.write(configFile, config);
    handle_ = dlopen((dir_ / "lib/libtqrelocations.so.0").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ != nullptr) {
      lookup_ = reinterpret_cast<GetRelocatedDir>(dlsym(handle_, "get_relocated_dir"));
    }
  }
  ~Tree() {
    if (handle_ != nullptr) dlclose(handle_);
  }

  const std::string& root() const { return dir_.path(); }

  // The answer for key, and the text when positive.
  int ask(const char* key, std::string* text = nullptr, int size = 255) const {
    EXPECT_NE(lookup_, nullptr);
    if (lookup_ == nullptr) return -100;
    std::string buffer(static_cast<std::size_t>(size), '#');
    const int result = lookup_(key, &buffer[0], size);
    if (result > 0 && text != nullptr) *text = buffer.c_str();
    return result;
  }

 private:
  tqtest::ScopedTempDir dir_;
  void* handle_ = nullptr;
  GetRelocatedDir lookup_ = nullptr;
};

TEST(RelocationLibrary, WithoutConfigurationNothingMoves) {
  Tree tree;
  EXPECT_EQ(tree.ask("sharedstatedir"), 0);
}

TEST(RelocationLibrary, ConfigurationBesideTheLibrary) {
  Tree tree("lib/tqrelocations.conf",
            "# moved state\n\n  sharedstatedir = /srv/state \nbindir=opt/bin\n");
  std::string text;
  EXPECT_EQ(tree.ask("sharedstatedir", &text), 10);
  EXPECT_EQ(text, "/srv/state");
  // Relative directories belong to the installation tree above lib/.
  EXPECT_GT(tree.ask("bindir", &text), 0);
  EXPECT_EQ(text, tree.root() + "/opt/bin");
  EXPECT_EQ(tree.ask("datarootdir"), 0);
  // Read on the first call only: later calls answer from memory.
  std::ofstream(tree.root() + "/lib/tqrelocations.conf") << "sharedstatedir = /elsewhere\n";
  EXPECT_EQ(tree.ask("sharedstatedir", &text), 10);
  EXPECT_EQ(text, "/srv/state");
}

TEST(RelocationLibrary, ConfigurationInTheTreesEtc) {
  Tree tree("etc/tqrelocations.conf", "sharedstatedir = var/lib\n");
  std::string text;
  EXPECT_GT(tree.ask("sharedstatedir", &text), 0);
  EXPECT_EQ(text, tree.root() + "/var/lib");
}

TEST(RelocationLibrary, Failures) {
  const std::string longDir = "/" + std::string(254, 'd');  // 255 bytes: one too many
  struct Case {
    const char* name;
    std::string config;
    const char* key;
    int result;
  } cases[] = {
      {"line without =", "sharedstatedir /srv\n", "bindir", -1},
      {"empty key", "= /srv\n", "bindir", -1},
      {"empty value", "bindir =\n", "sharedstatedir", -1},
      {"key twice", "bindir = /a\nbindir = /b\n", "sharedstatedir", -1},
      {"too long", "bindir = " + longDir + "\nsbindir = /s\n", "bindir", -2},
      {"too long, other key", "bindir = " + longDir + "\nsbindir = /s\n", "sbindir", 2},
  };
  for (const Case& c : cases) {
    Tree tree("lib/tqrelocations.conf", c.config);
    EXPECT_EQ(tree.ask(c.key), c.result) << c.name;
  }
}

// "#" starts a comment at the start of a line or after white space; elsewhere
// it belongs to the text.
TEST(RelocationLibrary, Comments) {
  struct Case {
    const char* config;
    int result;
    const char* dir;
  } cases[] = {
      {"bindir = /srv/bin        # -> moved\n", 8, "/srv/bin"},
      {"bindir = /srv/bin\t# tab before\n", 8, "/srv/bin"},
      {"  # indented = comment\nbindir = /b\n", 2, "/b"},
      {"bindir = /srv/a#b\n", 8, "/srv/a#b"},
      {"bindir#x = /b\n", 0, ""},
      {"bindir = # nothing but a comment\n", -1, ""},
      {"bindir # = /b\n", -1, ""},
  };
  for (const Case& c : cases) {
    Tree tree("lib/tqrelocations.conf", c.config);
    std::string text;
    EXPECT_EQ(tree.ask("bindir", &text), c.result) << c.config;
    if (c.result > 0) {
      EXPECT_EQ(text, c.dir) << c.config;
    }
  }
}

// The sample configuration of reloc/README.md, pasted as it stands into
// <tree>/etc, moves what its comments say.
TEST(RelocationLibrary, ReadmeSample) {
  std::ifstream readme(TQ_RELOCATION_README);
  ASSERT_TRUE(readme.is_open());
  std::string sample;
  bool inSample = false;
  for (std::string line; std::getline(readme, line);) {
    if (line == "    # <prefix>/etc/tqrelocations.conf") inSample = true;
    if (inSample && line.compare(0, 4, "    ") != 0) break;
    if (inSample) sample += line.substr(4) + "\n";
  }
  ASSERT_NE(sample, "");
  Tree tree("etc/tqrelocations.conf", sample);
  std::string text;
  EXPECT_GT(tree.ask("sharedstatedir", &text), 0);
  EXPECT_EQ(text, tree.root() + "/var/lib");
  EXPECT_GT(tree.ask("datarootdir", &text), 0);
  EXPECT_EQ(text, "/srv/tq/share");
}

TEST(RelocationLibrary, LongestDirectoryFitsTheBuffer) {
  const std::string dir = "/" + std::string(253, 'd');  // 254 bytes and the NUL
  Tree tree("lib/tqrelocations.conf", "bindir = " + dir + "\n");
  std::string text;
  EXPECT_EQ(tree.ask("bindir", &text), 254);
  EXPECT_EQ(text, dir);
  EXPECT_EQ(tree.ask("bindir", &text, 254), -2);
}

TEST(RelocationLibrary, BadArguments) {
  Tree tree;
  EXPECT_LT(tree.ask("bindir", nullptr, 0), 0);
}

// End to end: a process of the tool's libraries, run with the library path
// that the helper returns, finds its settings directory where the test put
// it.
TEST(RelocationLibrary, MovesTheToolsStateDirectory) {
  tqtest::ScopedTempDir dir;
  const std::string state = dir / "state";
  const std::string libraryPath =
      tqtest::makeRelocationDir(dir.path(), {{"sharedstatedir", state}});
  const std::string output =
      tqtest::runCommand("LD_LIBRARY_PATH='" + libraryPath + "' '" + TQ_RELOCATION_PROBE + "'");
  EXPECT_THAT(output, HasSubstr("\nsharedstatedir=" + state + "\n"));
  EXPECT_THAT(output, HasSubstr("\ndatarootdir=/usr/share\n"));
}

}  // namespace
