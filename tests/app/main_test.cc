// SPDX-License-Identifier: MIT
// The built tool's option mode, compared byte for byte.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/tSimRun.h"

namespace {

const char kDescription[] =
    "  -h [ --help ]         produce help message\n"
    "  -r [ --restore ]      write stored settings to the kernel\n"
    "\n";

TEST(ToolCommandLine, OptionMode) {
  struct Case {
    std::vector<std::string> args;
    int exitStatus;
    std::string out;
    std::string err;
  } cases[] = {
      {{"-h"}, 1, kDescription, ""},
      {{"--he"}, 1, kDescription, ""},
      {{"-hr"}, 1, kDescription, ""},
      {{"foo"},
       1,
       "",
       std::string("Parse error: Required option '--restore' not provided.\n") + kDescription},
      {{"--foo"}, 1, "", std::string("Parse error: unrecognised option '--foo'\n") + kDescription},
      {{"--restore=1"},
       1,
       "",
       std::string("Parse error: option '--restore' does not take any arguments\n") + kDescription},
  };
  for (const Case& c : cases) {
    tqtest::tSimRun run;
    const tqtest::SimResult result = run.run("", c.args);
    EXPECT_EQ(result.exitStatus, c.exitStatus) << c.args[0];
    EXPECT_EQ(result.out, c.out) << c.args[0];
    EXPECT_EQ(result.err, c.err) << c.args[0];
    EXPECT_TRUE(result.log.empty()) << c.args[0];
  }
}

}  // namespace
