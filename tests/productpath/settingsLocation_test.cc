// Where the running tool looks for its settings file: "tq-vlnk/tqvlkae.ini"
// below the shared state directory, which the relocation library may move.
// The tool runs with --restore under the simulated driver (no devices), with
// a preloaded library that logs every path it opens.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/reloc/relocation_dir.h"
#include "tests/support/tSimRun.h"

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

const char kSettingsName[] = "/tqvlkae.ini";

// The paths the tool opened that name the settings file.
std::vector<std::string> settingsOpens(const std::string& logText) {
  std::vector<std::string> paths;
  std::istringstream in(logText);
  const std::string suffix = kSettingsName;
  for (std::string line; std::getline(in, line);) {
    if (line.size() >= suffix.size() &&
        line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0) {
      paths.push_back(line);
    }
  }
  return paths;
}

std::string readAll(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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
    tqtest::SimOptions options;
    options.preload = {TQ_OPEN_LOG_LIBRARY};
    options.env = {{"TQ_OPEN_LOG", openLog}};
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
    EXPECT_THAT(settingsOpens(readAll(openLog)), ElementsAre(expected));
  }
}

// A relocation library that fails for one key fails every directory of the
// process: the tool reports the code and never looks for its settings.
TEST(SettingsLocation, FailingRelocationLibraryStopsTheTool) {
  tqtest::tSimRun run;
  const std::string openLog = run.dir() + "/opens";
  tqtest::SimOptions options;
  options.preload = {TQ_OPEN_LOG_LIBRARY};
  options.env = {{"TQ_OPEN_LOG", openLog},
                 {"LD_LIBRARY_PATH", std::string(TQ_FAKE_RELOC_DIR) + "/fails_bindir"}};

  const tqtest::SimResult result = run.run("", {"-r"}, options);
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_THAT(result.err, StartsWith("Exception ("));
  EXPECT_THAT(result.err, HasSubstr("cExceptionBase"));
  EXPECT_THAT(result.err, HasSubstr("): 0xFFFF34DA\n"));  // -52006
  EXPECT_THAT(settingsOpens(readAll(openLog)), IsEmpty());
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
  std::vector<std::string> keys;
  std::istringstream in(readAll(asked));
  for (std::string line; std::getline(in, line);) keys.push_back(line);
  EXPECT_THAT(keys,
              ElementsAre("prefixdir", "execprefixdir", "bindir", "sbindir", "libdir", "lib32dir",
                          "lib64dir", "nativelibdir", "multiarchlibdir", "libexecdir",
                          "sharedstatedir", "datarootdir", "datadir", "sysconfdir", "localstatedir",
                          "runstatedir", "includedir", "docdir", "initddir"));
}

}  // namespace
