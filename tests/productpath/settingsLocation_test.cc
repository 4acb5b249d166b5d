// SPDX-License-Identifier: MIT
// Where the running tool looks for its settings file: "tq-vlnk/tqvlkae.ini"
// below the shared state directory, which the relocation library may move.
// The tool runs with --restore under the simulated driver (no devices), with
// a preloaded library that logs every path it opens and answers every open
// below the default directory as "no such file", so the host's own settings
// file is never read.
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/reloc/relocation_dir.h"
#include "tests/support/files.h"
#include "tests/support/reports.h"
#include "tests/support/tSimRun.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const char kSettingsName[] = "/tqvlkae.ini";
const char kDefaultDirectory[] = "/var/lib/tq-vlnk/";

// The preloaded open log, writing to openLog, with the default directory
// made absent.
tqtest::SimOptions openLogged(const std::string& openLog) {
  tqtest::SimOptions options;
  options.preload = {TQ_OPEN_LOG_LIBRARY};
  options.env = {{"TQ_OPEN_LOG", openLog}, {"TQ_OPEN_ABSENT", kDefaultDirectory}};
  return options;
}

// The paths the tool opened that name the settings file.
std::vector<std::string> settingsOpens(const std::string& openLog) {
  std::vector<std::string> paths;
  const std::string suffix = kSettingsName;
  for (const std::string& line : tqtest::readLines(openLog)) {
    if (line.size() >= suffix.size() &&
        line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0) {
      paths.push_back(line);
    }
  }
  return paths;
}

TEST(SettingsLocation, DefaultOrRelocatedStateDirectory) {
  struct Case {
    const char* name;
    // Directories the real relocation library moves (relative ones below the
    // run's directory); no library at all when absent.
    std::optional<std::map<std::string, std::string>> relocated;
    std::string expected;  // relative ones below the run's directory
  } cases[] = {
      {"no relocation library", std::nullopt, "/var/lib/tq-vlnk/tqvlkae.ini"},
      {"library that moves nothing", std::map<std::string, std::string>{},
       "/var/lib/tq-vlnk/tqvlkae.ini"},
      {"other directories moved",
       std::map<std::string, std::string>{{"datarootdir", "share"}, {"localstatedir", "var"}},
       "/var/lib/tq-vlnk/tqvlkae.ini"},
      {"shared state directory moved",
       std::map<std::string, std::string>{{"sharedstatedir", "state/"}},
       "state/tq-vlnk/tqvlkae.ini"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    tqtest::tSimRun run;
    const std::string openLog = run.dir() + "/opens";
    tqtest::SimOptions options = openLogged(openLog);
    if (c.relocated) {
      const std::string libraryDir = run.dir() + "/lib";
      std::filesystem::create_directories(libraryDir);
      std::map<std::string, std::string> absolute;
      for (const auto& [key, dir] : *c.relocated) absolute[key] = run.dir() + "/" + dir;
      options.env.emplace_back("LD_LIBRARY_PATH", tqtest::makeRelocationDir(libraryDir, absolute));
    }
    const std::string expected = c.expected[0] == '/' ? c.expected : run.dir() + "/" + c.expected;

    const tqtest::SimResult result = run.run("", {"-r"}, options);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_THAT(settingsOpens(openLog), ElementsAre(expected));
  }
}

// A relocation library that fails for one key fails every directory of the
// process: the tool reports the code and never looks for its settings.
TEST(SettingsLocation, FailingRelocationLibraryStopsTheTool) {
  tqtest::tSimRun run;
  const std::string openLog = run.dir() + "/opens";
  tqtest::SimOptions options = openLogged(openLog);
  options.env.emplace_back("LD_LIBRARY_PATH", std::string(TQ_FAKE_RELOC_DIR) + "/fails_bindir");

  const tqtest::SimResult result = run.run("", {"-r"}, options);
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(result.err, tqtest::pathReport("0xFFFF34DA"));  // -52006
  EXPECT_THAT(settingsOpens(openLog), IsEmpty());
  EXPECT_THAT(result.log, IsEmpty()) << "the port pass ran";
}

// The relocation table is built before main: even a listing, which needs no
// directory at all, has asked the library for all 19 keys, in order.
TEST(ToolStartUp, RelocationLibraryIsAskedBeforeMain) {
  tqtest::tSimRun run;
  const std::string asked = run.dir() + "/asked";
  tqtest::SimOptions options;
  options.env = {{"TQ_RELOC_LOG", asked},
                 {"LD_LIBRARY_PATH", std::string(TQ_FAKE_RELOC_DIR) + "/relocates_nothing"}};

  const tqtest::SimResult result = run.run("", {}, options);
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_THAT(tqtest::readLines(asked),
              ElementsAre("prefixdir", "execprefixdir", "bindir", "sbindir", "libdir", "lib32dir",
                          "lib64dir", "nativelibdir", "multiarchlibdir", "libexecdir",
                          "sharedstatedir", "datarootdir", "datadir", "sysconfdir", "localstatedir",
                          "runstatedir", "includedir", "docdir", "initddir"));
}

}  // namespace
