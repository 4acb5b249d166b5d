// SPDX-License-Identifier: MIT
// tqvlkaectl under the simulated driver: {arguments, exit status, output}
// tables per command, and the driver's request log to prove that no
// command writes to a device (no set request 0x200109).
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "ctl/exposition.h"
#include "ctl/jsonDocument.h"
#include "ctl/terminalText.h"
#include "ctl/textTable.h"
#include "tests/reloc/relocation_dir.h"
#include "tests/support/files.h"
#include "tests/support/tSimRun.h"

namespace {

using tqtest::SimOptions;
using tqtest::SimResult;

const std::string kBench = tqtest::kTwoDeviceBench;

// text with every `from` replaced by `to`.
std::string replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// The value of word `name=` in a driver log line; empty when absent.
std::string logField(const std::string& line, const std::string& name) {
  const std::string key = " " + name + "=";
  const std::size_t at = line.find(key);
  if (at == std::string::npos) return "";
  const std::size_t begin = at + key.size();
  return line.substr(begin, line.find(' ', begin) - begin);
}

// Every JSON document the companion prints in a test process is held to its
// command's schema (ctl/schemas/) when the tests end, by Debian's
// python3-jsonschema: one run of the validator for all of them.
class SchemaCheck : public ::testing::Environment {
 public:
  static void add(const std::string& command, const std::string& document) {
    static int count = 0;
    paths() += " '" +
               directory().writeFile(command + "-" + std::to_string(++count) + ".json", document) +
               "'";
  }
  void TearDown() override {
    if (paths().empty()) return;
    const std::string command = std::string("/usr/bin/python3 '") + TQ_SOURCE_DIR +
                                "/tests/ctl/validateJson.py' '" + TQ_SOURCE_DIR + "/ctl/schemas'" +
                                paths();
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
  }

 private:
  static tqtest::tSimRun& directory() {
    static tqtest::tSimRun run;
    return run;
  }
  static std::string& paths() {
    static std::string all;
    return all;
  }
};
const auto* const kSchemaCheck = ::testing::AddGlobalTestEnvironment(new SchemaCheck);

// A run of tqvlkaectl (or the tool) whose settings directory lies inside
// the run's temporary directory; DIR in arguments and files stands for it.
class Ctl {
 public:
  Ctl() {
    options_.env.emplace_back(
        "LD_LIBRARY_PATH",
        tqtest::makeRelocationDir(run_.dir(), {{"sharedstatedir", run_.dir() + "/state"},
                                               {"runstatedir", run_.dir() + "/run"}}));
  }
  std::string path(const std::string& relative) const { return run_.dir() + "/" + relative; }
  void write(const std::string& relative, const std::string& text) const {
    run_.writeFile(relative, text);
  }
  SimResult run(const std::vector<std::string>& args, const std::string& bench = kBench,
                const std::string& program = TQ_CTL_PATH) const {
    SimOptions options = options_;
    options.program = program;
    std::vector<std::string> expanded;
    for (const std::string& arg : args) expanded.push_back(replaced(arg, "DIR", run_.dir()));
    SimResult result = run_.run(bench, expanded, options);
    result.out = replaced(result.out, run_.dir(), "DIR");
    result.err = replaced(result.err, run_.dir(), "DIR");
    // restore writes, and apply but with --check; a shell runs either.
    const bool writes = program != TQ_CTL_PATH ||
                        (!args.empty() && args[0] == "apply" &&
                         std::find(args.begin(), args.end(), "--check") == args.end());
    for (const std::string& line : result.log) {
      if (writes) break;
      EXPECT_EQ(line.find("req=0x200109"), std::string::npos) << args[0] << ": " << line;
    }
    if (program == TQ_CTL_PATH && !result.out.empty() &&
        std::find(args.begin(), args.end(), "--json") != args.end()) {
      SchemaCheck::add(args[0] == "--json" ? args[1] : args[0], result.out);
    }
    return result;
  }

 private:
  tqtest::tSimRun run_;
  SimOptions options_;
};

const char kDefaultFile[] = "state/tq-vlnk/tqvlkae.ini";

// Bad key on line 3, unknown property on line 5, impossible value on line 9.
const char kBadFile[] =
    "; bench 4\n[PortSetting]\n1a5-0-linkspeed=1000\n1a5_0_linkspeed=1000\n1a5_1_linkspeeed=10\n"
    "2b7_2_LinkSpeed = \"1000\"\n1a5_1_forcelinkdisable=1\n3c9_0_linkspeed=10\n"
    "1a5_0_jumboframes=abc\n1a5_5_portmode=1\n";
const char kGoodFile[] =
    "[PortSetting]\n1a5_0_linkspeed=1000\n1a5_1_forcelinkdisable=1\n2b7_2_jumboframes=9000\n"
    "1A5_0_LinkSpeed=100\n";

TEST(Ctl, Check) {
  const std::string kBadErrors =
      "DIR/f.ini:3: error: key '1a5-0-linkspeed' is not <hex serial>_<decimal port>_<property> "
      "with serial and port within 32 bits\n"
      "DIR/f.ini:3: note: restore stops here: 7 later entries and the port pass would not be "
      "applied\n"
      "DIR/f.ini:5: error: unknown property 'linkspeeed' in key '1a5_1_linkspeeed'; did you mean "
      "'linkspeed'?\n";
  const std::string kImpossible =
      "DIR/f.ini:9: error: value 'abc' fits no property size: it is neither a 32-bit decimal "
      "number nor exactly one character once quotes are removed\n";
  struct Case {
    std::vector<std::string> args;
    std::string file;  // written to DIR/f.ini
    std::string bench;
    int exitStatus;
    std::string out;
  } cases[] = {
      {{"check", "DIR/f.ini"},
       kBadFile,
       kBench,
       1,
       kBadErrors + kImpossible +
           "DIR/f.ini: 3 errors, 0 warnings; restore would stop at line 3\n"},
      {{"check", "--live", "DIR/f.ini"},
       kBadFile,
       kBench,
       1,
       kBadErrors +
           "DIR/f.ini:8: warning: no AE device has serial 3c9: restore skips this entry\n" +
           kImpossible +
           "DIR/f.ini:10: error: port 5 is out of range: device 1a5 (/dev/tqae0) has 2 ports\n"
           "DIR/f.ini: 4 errors, 1 warning; restore would stop at line 3\n"},
      {{"check", "DIR/f.ini"},
       kGoodFile,
       kBench,
       0,
       "DIR/f.ini:5: warning: '1A5_0_LinkSpeed' sets the same property as '1a5_0_linkspeed' on "
       "line 2: restore writes both, this one later\n"
       "DIR/f.ini: 0 errors, 1 warning; restore would run through: 4 entries, then the port "
       "pass\n"},
      {{"check", "--live", "DIR/f.ini"},
       kGoodFile,
       kBench,
       0,
       "DIR/f.ini:5: warning: '1A5_0_LinkSpeed' sets the same property as '1a5_0_linkspeed' on "
       "line 2: restore writes both, this one later\n"
       "DIR/f.ini: 0 errors, 1 warning; restore would run through: 4 entries, then the port "
       "pass\n"},
      // The driver decides the size: one byte does not take "1000".
      {{"check", "--live", "DIR/f.ini"},
       "[PortSetting]\n1a5_0_linkspeed=x\n1a5_1_linkspeed=10\n",
       kBench + "size 0x13fff7 1\n",
       1,
       "DIR/f.ini:3: error: value '10' does not convert for linkspeed, which the driver reports "
       "1 byte wide\n"
       "DIR/f.ini:3: note: restore stops here: 0 later entries and the port pass would not be "
       "applied\n"
       "DIR/f.ini: 1 error, 0 warnings; restore would stop at line 3\n"},
      {{"check", "DIR/f.ini"},
       "[PortSetting]\n1a5_0_linkspeed=x\n",
       kBench,
       0,
       "DIR/f.ini:2: warning: value 'x' does not fit linkspeed at its usual size of 4 bytes "
       "(restore asks the driver for the size: check --live knows it)\n"
       "DIR/f.ini: 0 errors, 1 warning; restore would run through: 1 entry, then the port pass\n"},
      // Three kinds of problem at once; the reader's own words.
      {{"check", "DIR/f.ini"},
       "\xef\xbb\xbf; copy\n[portsetting]\n1a5_0_linkspeed=1\n[PortSetting]\nbroken line\n"
       "1a5_1_portmod=1\n",
       kBench,
       1,
       "DIR/f.ini:1: warning: the file starts with a UTF-8 byte-order mark, which the INI reader "
       "takes for part of line 1\n"
       "DIR/f.ini:1: error: '=' character not found in line\n"
       "DIR/f.ini:1: note: restore stops here: the INI reader rejects the file: none of its 1 "
       "entry and not the port pass would be applied\n"
       "DIR/f.ini:2: warning: section [portsetting] differs from [PortSetting] in letter case: "
       "restore does not read its 1 entry\n"
       "DIR/f.ini:5: error: '=' character not found in line\n"
       "DIR/f.ini:6: error: unknown property 'portmod' in key '1a5_1_portmod'; did you mean "
       "'portmode'?\n"
       "DIR/f.ini: 3 errors, 2 warnings; restore would stop at line 1\n"},
      {{"check"},
       "",
       kBench,
       0,
       "DIR/state/tq-vlnk/tqvlkae.ini: no settings file: nothing would be applied; restore runs "
       "only the port pass\n"},
      {{"check", "--json", "DIR/f.ini"},
       "[PortSetting]\n1a5_0_\"x\x01\xff=1\n",
       kBench,
       1,
       "{\"file\":\"DIR/f.ini\",\"exists\":true,\"live\":false,\"entries\":1,\"errors\":1,"
       "\"warnings\":0,\"problems\":[{\"line\":2,\"severity\":\"error\",\"message\":\"unknown "
       "property '\\\"x\\u0001\xef\xbf\xbd' in key '1a5_0_\\\"x\\u0001\xef\xbf\xbd'; did you mean "
       "'portmode'?\",\"restoreReport\":\"Exception (St12out_of_range): map::at\"},{\"line\":2,"
       "\"severity\":\"note\",\"message\":\"restore stops here: 0 later entries and the port "
       "pass would not be applied\"}],\"restore\":{\"runsThrough\":false,\"stopLine\":2,"
       "\"skipped\":0},\"summary\":\"DIR/f.ini: 1 error, 0 warnings; restore would stop at line "
       "2\"}\n"},
  };
  for (const Case& c : cases) {
    Ctl ctl;
    if (!c.file.empty()) ctl.write("f.ini", c.file);
    const SimResult result = ctl.run(c.args, c.bench);
    EXPECT_EQ(result.exitStatus, c.exitStatus) << c.file << result.err;
    EXPECT_EQ(result.out, c.out) << c.file;
    EXPECT_EQ(result.err, "") << c.file;
  }
}

TEST(Ctl, CheckWarnsOfFilesOthersCanWrite) {
  Ctl ctl;
  ctl.write("open/f.ini", kGoodFile);
  ASSERT_EQ(::chmod(ctl.path("open/f.ini").c_str(), 0666), 0);
  ASSERT_EQ(::chmod(ctl.path("open").c_str(), 0777), 0);
  const SimResult result = ctl.run({"check", "DIR/open/f.ini"});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out,
            "DIR/open/f.ini: warning: the settings file (DIR/open/f.ini) is writable by everyone\n"
            "DIR/open/f.ini: warning: the directory of the settings file (DIR/open) is writable "
            "by everyone\n"
            "DIR/open/f.ini:5: warning: '1A5_0_LinkSpeed' sets the same property as "
            "'1a5_0_linkspeed' on line 2: restore writes both, this one later\n"
            "DIR/open/f.ini: 0 errors, 3 warnings; restore would run through: 4 entries, then "
            "the port pass\n");
}

TEST(Ctl, UsageAndTrouble) {
  struct Case {
    std::vector<std::string> args;
    int exitStatus;
    std::string err;
  } cases[] = {
      {{"--help"}, 0, ""},
      {{"diff", "-h"}, 0, ""},
      {{}, 2, "tqvlkaectl: no command given\nTry 'tqvlkaectl --help'.\n"},
      {{"frob"}, 2, "tqvlkaectl: unknown command 'frob'\nTry 'tqvlkaectl --help'.\n"},
      {{"show", "x"},
       2,
       "tqvlkaectl show: too many positional options have been specified on the command line\n"
       "Try 'tqvlkaectl show --help'.\n"},
      {{"diff", "--live"},
       2,
       "tqvlkaectl diff: unrecognised option '--live'\nTry 'tqvlkaectl diff --help'.\n"},
      {{"apply", "--verify-timeout", "1x"},
       2,
       "tqvlkaectl apply: '1x' is not a number of seconds from 0 to 600\n"
       "Try 'tqvlkaectl apply --help'.\n"},
      {{"apply", "--verify-timeout", "601"},
       2,
       "tqvlkaectl apply: '601' is not a number of seconds from 0 to 600\n"
       "Try 'tqvlkaectl apply --help'.\n"},
      {{"check", "DIR/none.ini"}, 2, "tqvlkaectl: DIR/none.ini: No such file or directory\n"},
      {{"diff", "DIR"}, 2, "tqvlkaectl: DIR: Is a directory\n"},
      {{"check", "--live", "DIR"}, 2, "tqvlkaectl: DIR: Is a directory\n"},
      {{"--version"}, 0, ""},
      {{"show", "--serial", "1a5x"},
       2,
       "tqvlkaectl show: '1a5x' is not a hexadecimal serial\nTry 'tqvlkaectl show --help'.\n"},
      {{"check", "--serial", "1a5"},
       2,
       "tqvlkaectl check: unrecognised option '--serial'\nTry 'tqvlkaectl check --help'.\n"},
  };
  for (const Case& c : cases) {
    const SimResult result = Ctl().run(c.args);
    EXPECT_EQ(result.exitStatus, c.exitStatus) << (c.args.empty() ? "" : c.args[0]);
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.out.empty(), c.exitStatus != 0);
  }
  // Output that cannot be written is trouble, the help's as any other.
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--help"}, {"store", "--help"}, {"--version"}, {"show"}}) {
    tqtest::tSimRun run;
    SimOptions options;
    options.program = TQ_CTL_PATH;
    options.stdoutPath = "/dev/full";
    const SimResult result = run.run(kBench, args, options);
    EXPECT_EQ(result.exitStatus, 2) << args[0];
    EXPECT_EQ(result.err, "tqvlkaectl: the output cannot be written: No space left on device\n")
        << args[0];
  }
}

// Devices that cannot be listed: every command that needs them says so, in
// text and JSON alike, with exit status 2, and claims nothing about them.
TEST(Ctl, DevicesThatCannotBeListedAreTrouble) {
  // A port count no device has is not believed either.
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"show"}, {"diff", "DIR/f.ini"}, {"check", "--live", "DIR/f.ini"}, {"store"}}) {
    Ctl ctl;
    ctl.write("f.ini", kGoodFile);
    const SimResult result = ctl.run(args,
                                     "device tq0 serial=0x1a5 ports=0xffffffff pid=0x7c5\n"
                                     "interface tq0 ae_ae\\0 node=/dev/tqae0\n");
    EXPECT_EQ(result.exitStatus, 2) << args[0];
    EXPECT_EQ(result.err,
              "tqvlkaectl: device /dev/tqae0 reports 4294967295 ports, more than the 1024 a "
              "device can have: the driver's answer is not believed\n")
        << args[0];
  }
  // The search fails, or the driver is not loaded (no /proc/driver/tq).
  const std::string kSearchFails = kBench + "fault glob result=aborted\n";
  const std::string kNoDriver = "fault open path=/proc/driver/tq errno=ENOENT\n";
  const std::string kFailed = "the AE devices cannot be listed: Error (";
  const std::string kNotLoaded = "the driver is not loaded: /proc/driver/tq is missing";
  struct Case {
    std::string bench;
    std::vector<std::string> args;
    int exitStatus;
    std::string why;  // what standard error (or check's warning) begins with
  } cases[] = {
      {kSearchFails, {"show"}, 2, kFailed},
      {kSearchFails, {"show", "--json"}, 2, kFailed},
      {kSearchFails, {"diff", "DIR/f.ini"}, 2, kFailed},
      {kSearchFails, {"check", "--live", "DIR/f.ini"}, 2, kFailed},
      {kSearchFails, {"store", "DIR/f.ini"}, 2, kFailed},
      {kSearchFails, {"apply", "DIR/f.ini"}, 2, kFailed},
      {kNoDriver, {"show"}, 2, kNotLoaded},
      {kNoDriver, {"show", "--json"}, 2, kNotLoaded},
      {kNoDriver, {"diff", "DIR/f.ini"}, 2, kNotLoaded},
      {kNoDriver, {"diff", "--json", "DIR/f.ini"}, 2, kNotLoaded},
      {kNoDriver, {"store", "DIR/f.ini"}, 2, kNotLoaded},
      {kNoDriver, {"store", "--json", "DIR/f.ini"}, 2, kNotLoaded},
      {kNoDriver, {"apply", "DIR/f.ini"}, 2, kNotLoaded},
      {kNoDriver, {"apply", "--check", "--json", "DIR/f.ini"}, 2, kNotLoaded},
      // Restore skips every entry and has no port to clear: a warning.
      {kNoDriver, {"check", "--live", "DIR/f.ini"}, 0, kNotLoaded},
      {kNoDriver, {"check", "--live", "--json", "DIR/f.ini"}, 0, kNotLoaded},
  };
  for (const Case& c : cases) {
    Ctl ctl;
    ctl.write("f.ini", kGoodFile);
    const SimResult result = ctl.run(c.args, c.bench);
    std::string label = c.bench;
    for (const std::string& arg : c.args) label += " " + arg;
    const bool json = std::find(c.args.begin(), c.args.end(), "--json") != c.args.end();
    EXPECT_EQ(result.exitStatus, c.exitStatus) << label << result.out << result.err;
    if (c.exitStatus == 2) {
      EXPECT_EQ(result.err.rfind("tqvlkaectl: " + c.why, 0), 0u) << label << result.err;
      EXPECT_EQ(result.out.find("No AE devices"), std::string::npos) << label;
    } else {
      EXPECT_EQ(result.err, "") << label;
      EXPECT_NE(result.out.find(c.why + ": restore skips every entry"), std::string::npos)
          << label << result.out;
    }
    if (json && c.args[0] == "show") {
      EXPECT_EQ(result.out.rfind("{\"devices\":[],\"error\":\"" + c.why, 0), 0u) << result.out;
    }
    EXPECT_EQ(tqtest::readFile(ctl.path("f.ini")), kGoodFile) << label;
  }
}

TEST(Ctl, ShowReadsEveryPortPropertyAndKeepsGoingPastARefusal) {
  const std::string bench =
      "device tq0 serial=0x1a5 ports=1 pid=0x7c5\ninterface tq0 ae_ae\\0 node=/dev/tqae0\n"
      "value tq0 port=0 prop=0x13fff7 hex=e8030000\nvalue tq0 port=0 prop=0x0210feea hex=31\n"
      "fault ioctl prop=0x13fff5 status=-52006:2:tqsim_driver\n";
  const SimResult table = Ctl().run({"show"}, bench);
  EXPECT_EQ(table.exitStatus, 1);
  EXPECT_EQ(table.out,
            "SERIAL  NODE        PORTS  PID\n"
            "1a5     /dev/tqae0  1      7c5\n\n"
            "KEY                              VALUE\n"
            "1a5_0_portmode                   0\n"
            "1a5_0_phystate                   0\n"
            "1a5_0_forcelinkdisable           1\n"
            "1a5_0_linkspeed                  1000\n"
            "1a5_0_jumboframes                refused (-52006)\n"
            "1a5_0_interruptmoderation        0\n"
            "1a5_0_sleepcapabilityconfigured  0\n");
  const SimResult json = Ctl().run({"show", "--json"}, bench);
  EXPECT_EQ(json.exitStatus, 1);
  EXPECT_NE(json.out.find("{\"devices\":[{\"serial\":\"1a5\",\"node\":\"/dev/tqae0\",\"ports\":1,"
                          "\"pid\":\"7c5\",\"reachedByRestore\":true,\"properties\":[{\"port\":0,"
                          "\"property\":\"portmode\","
                          "\"key\":\"1a5_0_portmode\",\"size\":4,\"value\":\"0\",\"number\":0}"),
            std::string::npos)
      << json.out;
  EXPECT_NE(json.out.find("\"property\":\"jumboframes\",\"key\":\"1a5_0_jumboframes\",\"error\":{"
                          "\"code\":-52006,\"report\":\"Error (-52006): "),
            std::string::npos)
      << json.out;
  const SimResult none = Ctl().run({"show"}, "");
  EXPECT_EQ(none.exitStatus, 0);
  EXPECT_EQ(none.out, "No AE devices.\n");
  // A repeated serial: the keys of the second device reach the first.
  const std::string repeated = bench +
                               "device tq1 serial=0x1a5 ports=1 pid=0x7c6\n"
                               "interface tq1 ae_ae\\0 node=/dev/tqae1\n";
  const SimResult twice = Ctl().run({"show"}, repeated);
  EXPECT_NE(twice.out.find("KEY                              VALUE             NOTE\n"
                           "1a5_0_portmode                   0\n"),
            std::string::npos)
      << twice.out;
  EXPECT_NE(twice.out.find("1a5_0_sleepcapabilityconfigured  0\n"
                           "1a5_0_portmode                   0                 read from "
                           "/dev/tqae1; restore sends this key to /dev/tqae0\n"),
            std::string::npos)
      << twice.out;
  const nlohmann::json devices =
      nlohmann::json::parse(Ctl().run({"show", "--json"}, repeated).out)["devices"];
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[0]["reachedByRestore"], true);
  EXPECT_FALSE(devices[0].contains("restoreReaches"));
  EXPECT_EQ(devices[1]["reachedByRestore"], false);
  EXPECT_EQ(devices[1]["restoreReaches"], "/dev/tqae0");
}

// The bench lines that hold what a run's set requests stored.
std::string storedValues(const SimResult& run) {
  std::string lines;
  for (const std::string& line : run.log) {
    if (line.rfind("ioctl ", 0) != 0 || logField(line, "req") != "0x200109" ||
        logField(line, "status") != "0:0:")
      continue;
    lines += "value " + logField(line, "dev") + " port=" + logField(line, "port") +
             " prop=" + logField(line, "prop") + " hex=" + logField(line, "value") + "\n";
  }
  return lines;
}

TEST(Ctl, DiffAfterRestoreIsInSyncUntilAPortChanges) {
  Ctl ctl;
  ctl.write(kDefaultFile, kGoodFile);
  const SimResult restore = ctl.run({"-r"}, kBench, TQ_TOOL_PATH);
  ASSERT_EQ(restore.exitStatus, 0) << restore.err;
  const std::string restored = kBench + storedValues(restore);
  const SimResult synced = ctl.run({"diff"}, restored);
  EXPECT_EQ(synced.exitStatus, 0) << synced.err;
  EXPECT_EQ(synced.out,
            "LINE  KEY                     STATE    RESTORE  LIVE  NOTE\n"
            "2     1a5_0_linkspeed         in sync  100      100   line 5 sets it later\n"
            "3     1a5_1_forcelinkdisable  in sync  \\x00     \\x00  the port pass clears "
            "forcelinkdisable after the entries\n"
            "4     2b7_2_jumboframes       in sync  9000     9000\n"
            "5     1A5_0_LinkSpeed         in sync  100      100\n"
            "DIR/state/tq-vlnk/tqvlkae.ini: 4 entries: 4 in sync\n");
  const SimResult changed =
      ctl.run({"diff", "--json"}, restored + "value tq1 port=2 prop=0x13fff5 hex=dc050000\n");
  EXPECT_EQ(changed.exitStatus, 1);
  EXPECT_NE(changed.out.find("{\"line\":4,\"key\":\"2b7_2_jumboframes\",\"state\":\"differs\","
                             "\"device\":\"/dev/tqae1\",\"restore\":\"9000\",\"live\":\"1500\"}"),
            std::string::npos)
      << changed.out;
  ctl.write("bad.ini", kBadFile);
  const SimResult failing = ctl.run({"diff", "DIR/bad.ini"}, restored);
  EXPECT_EQ(failing.exitStatus, 1);
  EXPECT_NE(failing.out.find("3     1a5-0-linkspeed         failing                     Exception "
                             "(St13runtime_error): Invalid token found in settings INI.\n"
                             "4     1a5_0_linkspeed         not applied                 restore "
                             "stops at line 3 before it\n"),
            std::string::npos)
      << failing.out;
  ctl.write("syntax.ini", "[PortSetting]\n1a5_0_linkspeed=100\nno equals sign\n");
  const SimResult rejected = ctl.run({"diff", "DIR/syntax.ini"}, restored);
  EXPECT_EQ(rejected.exitStatus, 1);
  EXPECT_EQ(rejected.out,
            "DIR/syntax.ini:3: '=' character not found in line: restore applies no entry "
            "(tqvlkaectl check shows every problem)\n");
  // Restore skips an entry for an absent device: no difference.
  ctl.write(kDefaultFile, "[PortSetting]\n3c9_0_linkspeed=1\n1a5_0_linkspeed=100\n");
  const SimResult absent = ctl.run({"diff"}, restored);
  EXPECT_EQ(absent.exitStatus, 0);
  EXPECT_NE(absent.out.find(": 2 entries: 1 in sync, 1 absent\n"), std::string::npos) << absent.out;
  // A repeated serial: the entry reaches the first device listed with it.
  const SimResult repeated =
      ctl.run({"diff", "--json"}, restored +
                                      "device tq2 serial=0x1a5 ports=1 pid=1\n"
                                      "interface tq2 ae_ae\\0 node=/dev/tqae2\n");
  EXPECT_NE(repeated.out.find("\"state\":\"in sync\",\"device\":\"/dev/tqae0\",\"restore\":\"100\","
                              "\"live\":\"100\",\"note\":\"reaches /dev/tqae0 (restore's first "
                              "device of serial 1a5), not /dev/tqae2\"}"),
            std::string::npos)
      << repeated.out;
}

// The values show --json reads on the devices restore reaches (the first
// of a repeated serial), "serial port property" to value or refusal code;
// forcelinkdisable (the port pass clears it) and values no settings line
// carries are not among them.
std::map<std::string, std::string> restorableValues(const std::string& showJson) {
  std::map<std::string, std::string> values;
  std::vector<std::string> serials;
  const nlohmann::json document = nlohmann::json::parse(showJson);
  for (const auto& device : document["devices"]) {
    const std::string serial = device["serial"];
    if (std::find(serials.begin(), serials.end(), serial) != serials.end()) continue;
    serials.push_back(serial);
    for (const auto& property : device["properties"]) {
      if (property["property"] == "forcelinkdisable" || property.contains("unstorable")) continue;
      values[serial + " " + property["port"].dump() + " " + std::string(property["property"])] =
          property.contains("value") ? property["value"].dump() : property["error"]["code"].dump();
    }
  }
  return values;
}

// The companion agrees with restore on every committed settings input and
// a generated set, on benches with repeated serials, missing and refused
// nodes, sizes other than usual, no devices:
// - `check --live` exits 0 exactly when restore does, and names the entry
//   restore stops at. Restore runs in one process (tq_restore_stop, the
//   tool's own sequence) to say where it stopped; the tool's exit status is
//   held to it.
// - diff's expected value of every entry it compares is what the driver
//   holds after the tool's restore (the bench keeps its values across
//   programs): diff then finds each of them in sync.
// - store from a bench whose values differ from the driver's start, then
//   the tool's restore of the stored file on that start: the devices hold
//   what store read. Or store refuses, saying why, and leaves the file.
TEST(Ctl, CheckDiffAndStoreAgreeWithRestore) {
  std::vector<std::string> files = {
      // An absent serial with a value no property takes: restore skips it.
      "[PortSetting]\n3c9_0_linkspeed=abc\n3c9_9_linkspeed=1\n1a5_0_linkspeed=10\n",
      // Port 2 exists only on the second device of a repeated serial.
      "[PortSetting]\n1a5_2_linkspeed=10\n1a5_0_jumboframes=9000\n",
      "[PortSetting]\n1a5_0_linkspeed=10\n2b7_2_portmode=x\n1a5_1_linkspeed=5\n",
      "[PortSetting]\n1a5_5_linkspeed=10\n",
      "[PortSetting]\n2b7_0_forcelinkdisable=1\n1A5_0_LinkSpeed=1\n1a5_0_linkspeed=2\n",
      // Written before the stop, cleared by no port pass.
      "[PortSetting]\n1a5_1_forcelinkdisable=1\n1a5_1_jumboframes=1\n2b7_0_linkspeed=y\n",
      "",
  };
  // Every settings input of the fuzz targets, committed and regression.
  for (const char* dir : {"corpus/settings", "corpus/settings_lines", "regressions/settings",
                          "regressions/settings_lines"}) {
    const std::filesystem::path path = std::filesystem::path(TQ_FUZZ_DIR) / dir;
    if (!std::filesystem::is_directory(path)) continue;
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(path)) {
      names.push_back(item.path().string());
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) files.push_back(tqtest::readFile(name));
  }
  const std::string kRepeated = kBench +
                                "device tq2 serial=0x1a5 ports=4 pid=0x7c7\n"
                                "interface tq2 ae_ae\\0 node=/dev/tqae2\n";
  // Values that store reads: none is the driver's start (zeros).
  const std::string kValues =
      "value tq0 port=0 prop=0x13fff5 hex=28230000\nvalue tq0 port=1 prop=0x13fffe hex=02000000\n"
      "value tq1 port=2 prop=0x13fff3 hex=01000000\nvalue tq1 port=0 prop=0x0210feea hex=31\n"
      "value tq1 port=1 prop=0x13fff7 hex=e8030000\n";
  const std::string kOneDevice = "device tq0 serial=0x1a5 ports=2 pid=0x7c5\n";
  const struct {
    std::string bench, values;
  } benches[] = {
      {kBench, kValues},
      {kRepeated, kValues + "value tq2 port=3 prop=0x13fff5 hex=dc050000\n"},
      {kOneDevice + "interface tq0 ae_ae\\0 node=/dev/tqae0 missing\n",
       "value tq0 port=0 prop=0x13fff5 hex=28230000\n"},
      {kOneDevice + "interface tq0 ae_ae\\0 node=/dev/tqae0 forbidden\n",
       "value tq0 port=0 prop=0x13fff5 hex=28230000\n"},
      // A 1-byte linkspeed: a letter, and a double quote no line carries.
      {kBench + "size 0x13fff7 1\n",
       "value tq0 port=1 prop=0x13fff7 hex=41\nvalue tq1 port=1 prop=0x13fff7 hex=22\n"
       "value tq1 port=2 prop=0x13fffe hex=07000000\n"},
      {"", ""},
  };
  std::size_t stops = 0, throughs = 0, compared = 0, stored = 0, refused = 0, values = 0;
  for (const auto& bench : benches) {
    const std::string source = bench.bench + bench.values;
    const SimResult shownBefore = Ctl().run({"show", "--json"}, source);
    for (const std::string& file : files) {
      Ctl ctl;
      if (!file.empty()) ctl.write(kDefaultFile, file);
      const std::string label = "file:\n" + file + "\nbench:\n" + bench.bench;
      const SimResult restore = ctl.run({}, bench.bench, TQ_RESTORE_STOP);
      const SimResult check = ctl.run({"check", "--live"}, bench.bench);
      const std::string kept = bench.bench + "state restored.txt\n";
      const SimResult tool = ctl.run({"--restore"}, kept, TQ_TOOL_PATH);
      ASSERT_EQ(restore.exitStatus, 0) << label << restore.err;
      const bool runsThrough = restore.out == "exit=0\n";
      EXPECT_EQ(tool.exitStatus, runsThrough ? 0 : 1) << label << restore.out;
      EXPECT_EQ(check.exitStatus == 0, runsThrough) << label << restore.out << check.out;

      // What the tool's restore left, against diff's expected values.
      const SimResult diff = ctl.run({"diff", "--json"}, kept);
      if (diff.exitStatus != 2) {
        const nlohmann::json document = nlohmann::json::parse(diff.out);
        for (const auto& entry : document["entries"]) {
          if (!entry.contains("restore") || entry["live"].is_null()) continue;
          ++compared;
          EXPECT_EQ(entry["state"], "in sync") << label << restore.out << entry.dump();
        }
      }

      // store, then restore of what it wrote onto the driver's start.
      const std::string before = tqtest::readFile(ctl.path(kDefaultFile));
      const SimResult store = ctl.run({"store"}, source);
      if (store.exitStatus != 0) {
        ++refused;
        EXPECT_FALSE((store.out + store.err).empty()) << label;
        EXPECT_EQ(tqtest::readFile(ctl.path(kDefaultFile)), before) << label << store.out;
      } else {
        ++stored;
        const std::string start = bench.bench + "state stored.txt\n";
        const SimResult restored = ctl.run({"--restore"}, start, TQ_TOOL_PATH);
        EXPECT_EQ(restored.exitStatus, 0) << label << store.out << restored.err;
        const std::map<std::string, std::string> captured = restorableValues(shownBefore.out);
        EXPECT_EQ(restorableValues(ctl.run({"show", "--json"}, start).out), captured)
            << label << store.out << tqtest::readFile(ctl.path(kDefaultFile));
        values += captured.size();
      }

      const std::string stop = " line=";
      const std::size_t at = restore.out.find(stop);
      if (at == std::string::npos || restore.out.substr(at) == " line=0\n") {
        throughs += runsThrough;
        continue;
      }
      ++stops;
      const std::string line = restore.out.substr(at + stop.size(), restore.out.size() - at - 7);
      EXPECT_NE(
          check.out.find(std::string(kDefaultFile) + ":" + line + ": note: restore stops here"),
          std::string::npos)
          << label << restore.out << check.out;
    }
  }
  // The cases reach every outcome, not one of them only.
  EXPECT_GT(stops, 10u);
  EXPECT_GT(throughs, 10u);
  EXPECT_GT(compared, 40u);
  EXPECT_GT(stored, 10u);
  EXPECT_GT(refused, 10u);
  EXPECT_GT(values, 100u);
}

// Any bytes give a valid document; a data member that is not UTF-8 gets its
// exact bytes beside it.
TEST(Ctl, JsonStringsAreValidForAnyBytes) {
  const std::string kReplacement = "\xef\xbf\xbd";
  const struct {
    std::string in, out;
  } cases[] = {
      {"plain", "{\"key\":\"plain\"}\n"},
      {"q\"b\\n\nt\tc\x1f\x08\x0c", "{\"key\":\"q\\\"b\\\\n\\nt\\tc\\u001f\\b\\f\"}\n"},
      {"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80",
       "{\"key\":\"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\"}\n"},
      {"\xc3(\xc0\xaf", "{\"key\":\"" + kReplacement + "(" + kReplacement + kReplacement +
                            "\",\"keyHex\":\"c328c0af\"}\n"},
      // A surrogate, a code point above U+10FFFF, a cut sequence: bytes.
      {"a\xed\xa0\x80\xf4\x90\x80\x80\xe2\x82", "{\"key\":\"a" + kReplacement + kReplacement +
                                                    kReplacement + kReplacement + kReplacement +
                                                    kReplacement + kReplacement + kReplacement +
                                                    "\",\"keyHex\":\"61eda080f4908080e282\"}\n"},
  };
  for (const auto& c : cases) {
    nTQVLKAET100::tJson document;
    nTQVLKAET100::setBytes(document, "key", c.in);
    std::ostringstream out;
    nTQVLKAET100::writeJsonDocument(out, document);
    EXPECT_TRUE(nlohmann::json::accept(out.str())) << out.str();
    EXPECT_EQ(out.str(), c.out);
  }
}

}  // namespace

namespace {

// Text output never hands a terminal a byte it acts on, and shortens long
// text keeping its head and tail whole.
TEST(Ctl, TerminalTextEscapesAndShortens) {
  const struct {
    std::string in;
    std::size_t limit;
    std::string out;
  } cases[] = {
      {"plain \xc3\xa9 \xe2\x82\xac", 400, "plain \xc3\xa9 \xe2\x82\xac"},
      {"1a5\x1b[2J_0_linkspeed", 400, "1a5\\x1b[2J_0_linkspeed"},
      {"\x1b]0;title\x07\x7f", 400, "\\x1b]0;title\\x07\\x7f"},
      {"csi \xc2\x9b"
       "2J, bytes \xff\xc3(",
       400, "csi \\xc2\\x9b2J, bytes \\xff\\xc3("},
      {std::string(100, 'a'), 20, "aaaaaaaaaa[... 80 bytes ...]aaaaaaaaaa"},
      // Printable ASCII at the limit stays whole; one byte more is cut.
      {std::string(20, '~'), 20, std::string(20, '~')},
      {std::string(21, ' '), 20, std::string(10, ' ') + "[... 1 bytes ...]" + std::string(10, ' ')},
      {std::string(20, '\x01'), 10, "\\x01[... 18 bytes ...]\\x01"},
      {"\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9", 9,
       "\xc3\xa9\xc3\xa9[... 4 bytes ...]\xc3\xa9\xc3\xa9"},
  };
  for (const auto& c : cases) EXPECT_EQ(nTQVLKAET100::terminalText(c.in, c.limit), c.out);
  // A row wider than the header, its cells made safe as well.
  std::ostringstream table;
  nTQVLKAET100::writeTable(table, {"A", "B"}, {{"1", "22", "\x1b[2J"}, {"333"}});
  EXPECT_EQ(table.str(), "A    B\n1    22  \\x1b[2J\n333\n");
}

// check's text output of keys that hold escape sequences and of a 100 KB
// value; its JSON keeps every byte.
TEST(Ctl, CheckTextIsSafeForATerminal) {
  Ctl ctl;
  const std::string value(100000, '9');
  ctl.write("f.ini",
            "[PortSetting]\n1a5\x1b[2J_0_linkspeed=1\n1a5_0_\x1b]0;x\x07=1\n"
            "1a5_0_linkspeed=" +
                value + "\n");
  const SimResult text = ctl.run({"check", "DIR/f.ini"});
  EXPECT_EQ(text.exitStatus, 1);
  EXPECT_EQ(text.out.find_first_of("\x1b\x07"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("key '1a5\\x1b[2J_0_linkspeed'"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("bytes ...]"), std::string::npos) << text.out;
  EXPECT_LT(text.out.size(), 2000u);
  const SimResult json = ctl.run({"check", "--json", "DIR/f.ini"});
  EXPECT_NE(json.out.find("'" + value + "'"), std::string::npos);
  EXPECT_NE(json.out.find("1a5\\u001b[2J_0_linkspeed"), std::string::npos);
}

}  // namespace

// One device with one port: what store captures fits a table row.
const char kOnePortBench[] =
    "device tq0 serial=0x1a5 ports=1 pid=0x7c5\ninterface tq0 ae_ae\\0 node=/dev/tqae0\n"
    "value tq0 port=0 prop=0x13fff7 hex=e8030000\nvalue tq0 port=0 prop=0x13fff5 hex=28230000\n";
const char kStoredNote[] =
    "forcelinkdisable is not stored: restore clears it on every port after the entries\n";

TEST(Ctl, Store) {
  const std::string kOld =
      "; by hand\r\n[PortSetting]\r\n0x1A5_0_LinkSpeed=10\r\n[Other]\r\nk=v\r\n";
  const std::string kNew =
      "; by hand\r\n[PortSetting]\r\n0x1A5_0_LinkSpeed=1000\r\n1a5_0_portmode=0\r\n"
      "1a5_0_phystate=0\r\n1a5_0_jumboframes=9000\r\n1a5_0_interruptmoderation=0\r\n"
      "1a5_0_sleepcapabilityconfigured=0\r\n[Other]\r\nk=v\r\n";
  struct Case {
    std::vector<std::string> args;
    std::string file;  // DIR/f.ini before
    std::string bench;
    int exitStatus;
    std::string out;
    std::string after;  // DIR/f.ini after
  } cases[] = {
      {{"store", "DIR/f.ini"},
       kOld,
       kOnePortBench,
       0,
       std::string(kStoredNote) + "DIR/f.ini: stored: 1 changed, 5 added, 0 already right\n",
       kNew},
      // A repeated serial: restore would send the second device's values to
      // the first.
      {{"store", "DIR/f.ini"},
       kOld,
       std::string(kOnePortBench) +
           "device tq1 serial=0x1a5 ports=2 pid=0x7c5\ninterface tq1 ae_ae\\0 node=/dev/tqae1\n",
       1,
       "devices /dev/tqae0 and /dev/tqae1 both have serial 1a5: restore sends every entry of it "
       "to the first, so the values of /dev/tqae1 cannot be stored\nDIR/f.ini: nothing written\n",
       kOld},
      {{"store", "--dry-run", "DIR/f.ini"},
       kOld,
       kOnePortBench,
       0,
       std::string(kStoredNote) +
           "--- DIR/f.ini\n+++ DIR/f.ini\n@@ -1,5 +1,10 @@\n ; by hand\r\n [PortSetting]\r\n"
           "-0x1A5_0_LinkSpeed=10\r\n+0x1A5_0_LinkSpeed=1000\r\n+1a5_0_portmode=0\r\n"
           "+1a5_0_phystate=0\r\n+1a5_0_jumboframes=9000\r\n+1a5_0_interruptmoderation=0\r\n"
           "+1a5_0_sleepcapabilityconfigured=0\r\n [Other]\r\n k=v\r\n"
           "DIR/f.ini: would store (dry run: nothing written): 1 changed, 5 added, 0 already "
           "right\n",
       kOld},
      {{"store", "DIR/f.ini"},
       kNew,
       kOnePortBench,
       0,
       std::string(kStoredNote) +
           "DIR/f.ini: nothing to change: 0 changed, 0 added, 6 already right\n",
       kNew},
      // A 1-byte value no settings line carries; the named file is created.
      {{"store", "--serial", "0x1A5", "DIR/f.ini"},
       "",
       std::string(kOnePortBench) + "size 0x13fff7 1\nvalue tq0 port=0 prop=0x13fff7 hex=07\n",
       0,
       "1a5_0_linkspeed: left out: a control character (0x07) cannot be written in a settings "
       "line\n" +
           std::string(kStoredNote) +
           "DIR/f.ini: stored: 0 changed, 5 added, 0 already right, 1 left out\n",
       "[PortSetting]\n1a5_0_portmode=0\n1a5_0_phystate=0\n1a5_0_jumboframes=9000\n"
       "1a5_0_interruptmoderation=0\n1a5_0_sleepcapabilityconfigured=0\n"},
      {{"store", "DIR/f.ini"},
       kOld,
       std::string(kOnePortBench) + "fault ioctl prop=0x13fff5 status=-52006:2:tqsim_driver\n",
       1,
       "1a5_0_jumboframes: the driver refuses to read it: Error (-52006): {\"file\":"
       "\"tqsim_driver\",\"line\":2,\"component\":\"tqvlkae\"}\nDIR/f.ini: nothing written\n",
       kOld},
      {{"store", "--serial", "3c9", "DIR/f.ini"},
       kOld,
       kOnePortBench,
       1,
       "no AE device has serial 3c9\nDIR/f.ini: nothing written\n",
       kOld},
      {{"store", "DIR/f.ini"},
       kBadFile,
       kOnePortBench,
       1,
       "DIR/f.ini:3: error: key '1a5-0-linkspeed' is not <hex serial>_<decimal port>_<property> "
       "with serial and port within 32 bits\n",
       kBadFile},
      {{"store", "--serial", "1g5"}, kOld, kOnePortBench, 2, "", kOld},
      // Restore would stop in the stored file: port 1 of a one-port device.
      {{"store", "DIR/f.ini"},
       "[PortSetting]\n1a5_1_linkspeed=10\n",
       kOnePortBench,
       1,
       "DIR/f.ini (as stored):2: error: port 1 is out of range: device 1a5 (/dev/tqae0) has 1 "
       "port\nDIR/f.ini (as stored):2: note: restore stops here: 6 later entries and the port "
       "pass would not be applied\nDIR/f.ini (as stored): 1 error, 0 warnings; restore would "
       "stop at line 2\n" +
           std::string(kStoredNote) +
           "DIR/f.ini: store refuses: restore would stop in the stored file and not write back "
           "what store read; nothing written\n",
       "[PortSetting]\n1a5_1_linkspeed=10\n"},
      // The entry would keep its old value: store leaves the BEL out.
      {{"store", "DIR/f.ini"},
       "[PortSetting]\n1a5_0_linkspeed=1\n",
       std::string(kOnePortBench) + "size 0x13fff7 1\nvalue tq0 port=0 prop=0x13fff7 hex=07\n",
       1,
       "DIR/f.ini:2: 1a5_0_linkspeed keeps its old value: a control character (0x07) cannot be "
       "written in a settings line\n1a5_0_linkspeed: left out: a control character (0x07) "
       "cannot be written in a settings line\n" +
           std::string(kStoredNote) +
           "DIR/f.ini: store refuses: restore would write old values where store read values no "
           "settings line can carry; nothing written\n",
       "[PortSetting]\n1a5_0_linkspeed=1\n"},
      // Only what the file names; a file of one entry stays one entry.
      {{"store", "--existing-only", "DIR/f.ini"},
       kOld,
       kOnePortBench,
       0,
       std::string(kStoredNote) +
           "DIR/f.ini: stored: 1 changed, 0 added, 0 already right, 5 not in the file "
           "(--existing-only)\n",
       "; by hand\r\n[PortSetting]\r\n0x1A5_0_LinkSpeed=1000\r\n[Other]\r\nk=v\r\n"},
      {{"store", "--json", "--existing-only", "--dry-run", "DIR/f.ini"},
       "[PortSetting]\n1a5_0_jumboframes=9000\n1a5_0_linkspeed=1\n",
       std::string(kOnePortBench) + "size 0x13fffe 1\nvalue tq0 port=0 prop=0x13fffe hex=22\n",
       0,
       "{\"file\":\"DIR/f.ini\",\"outcome\":\"dry run\",\"dryRun\":true,\"existingOnly\":true,"
       "\"changed\":1,\"added\":0,\"alreadyRight\":1,\"notInFile\":3,\"leftOut\":[{\"key\":"
       "\"1a5_0_portmode\",\"reason\":\"a double quote cannot be stored: restore removes it from "
       "every value\"}],\"forceLinkDisableLeftOut\":true,\"refusals\":[],\"diff\":\"--- "
       "DIR/f.ini\\n"
       "+++ DIR/f.ini\\n@@ -1,3 +1,3 @@\\n [PortSetting]\\n 1a5_0_jumboframes=9000\\n"
       "-1a5_0_linkspeed=1\\n+1a5_0_linkspeed=1000\\n\",\"summary\":\"DIR/f.ini: would store (dry "
       "run: nothing written): 1 changed, 0 added, 1 already right, 1 left out, 3 not in the file "
       "(--existing-only)\"}\n",
       "[PortSetting]\n1a5_0_jumboframes=9000\n1a5_0_linkspeed=1\n"},
  };
  for (const Case& c : cases) {
    Ctl ctl;
    if (!c.file.empty()) ctl.write("f.ini", c.file);
    const SimResult result = ctl.run(c.args, c.bench);
    EXPECT_EQ(result.exitStatus, c.exitStatus) << c.args[1] << result.err;
    if (c.exitStatus == 1 && !c.file.empty() && c.file == kBadFile) {
      EXPECT_EQ(result.out.rfind(c.out, 0), 0u) << result.out;
      EXPECT_NE(result.out.find("store refuses a file with errors; nothing written\n"),
                std::string::npos);
    } else {
      EXPECT_EQ(result.out, c.out) << c.args[1];
    }
    EXPECT_EQ(tqtest::readFile(ctl.path("f.ini")), c.after) << c.args[1];
  }
}

// set merges entries as store stores values, or puts a whole text; the new
// text is checked first, and a refused or byte-equal one leaves the file.
TEST(Ctl, Set) {
  const std::string kOld =
      "; by hand\r\n[PortSetting]\r\n0x1A5_0_LinkSpeed=10\r\n[Other]\r\nk=v\r\n";
  const std::string kMerged =
      "; by hand\r\n[PortSetting]\r\n0x1A5_0_LinkSpeed=1000\r\n1a5_1_jumboframes=4294967295\r\n"
      "[Other]\r\nk=v\r\n";
  const std::string kZeroByte("[PortSetting]\n1a5_0_linkspeed=100\n\0x=1\n", 39);
  const std::string kUsage = "\nTry 'tqvlkaectl set --help'.\n";
  struct Case {
    std::vector<std::string> args;
    std::string file;  // DIR/f.ini before; "-" none
    int exitStatus;
    std::string out;        // with exit status 2: standard error
    std::string after;      // DIR/f.ini after; "-" none
    std::string from = "";  // DIR/new.ini
  } cases[] = {
      // In place with the key's own spelling, added in store's; -1 as restore writes it.
      {{"set", "1a5_0_linkspeed=1000", "DIR/f.ini", "1A5_1_JumboFrames=-1"},
       kOld,
       0,
       "1a5_0_linkspeed=1000: changed\n1a5_1_jumboframes=4294967295: added\n"
       "DIR/f.ini: written: 1 changed, 1 added, 0 already right\n",
       kMerged},
      // A value restore already converts to the same bytes stays as written.
      {{"set", "DIR/f.ini", "1a5_0_linkspeed=\"1000\"", "1a5_1_jumboframes=4294967295"},
       kMerged,
       0,
       "1a5_0_linkspeed=1000: already right\n1a5_1_jumboframes=4294967295: already right\n"
       "DIR/f.ini: nothing to change: 0 changed, 0 added, 2 already right\n",
       kMerged},
      {{"set", "-n", "DIR/f.ini", "1a5_0_linkspeed=5", "1a5_0_linkspeed=1000"},
       "[PortSetting]\n1a5_0_linkspeed=1\n",
       0,
       "1a5_0_linkspeed=1000: changed\n--- DIR/f.ini\n+++ DIR/f.ini\n@@ -1,2 +1,2 @@\n"
       " [PortSetting]\n-1a5_0_linkspeed=1\n+1a5_0_linkspeed=1000\n"
       "DIR/f.ini: would write (dry run: nothing written): 1 changed, 0 added, 0 already right\n",
       "[PortSetting]\n1a5_0_linkspeed=1\n"},
      {{"set", "DIR/f.ini", "2b7_3_portmode=2"},
       "-",
       0,
       "2b7_3_portmode=2: added\nDIR/f.ini: written: 0 changed, 1 added, 0 already right\n",
       "[PortSetting]\n2b7_3_portmode=2\n"},
      {{"set", "--from", "DIR/new.ini", "DIR/f.ini"},
       kOld,
       0,
       "DIR/f.ini: written: the whole text of DIR/new.ini\n",
       "[PortSetting]\n1a5_0_linkspeed=100\n",
       "[PortSetting]\n1a5_0_linkspeed=100\n"},
      // Errors of the new text refuse it, on its own lines.
      {{"set", "--from", "DIR/new.ini", "DIR/f.ini", "1a5_0_linkspeed=1", "1a5_0_jumboframes=1"},
       kOld,
       1,
       "DIR/f.ini:3: error: key '1a5-0-portmode' is not <hex serial>_<decimal port>_<property> "
       "with serial and port within 32 bits\n",
       kOld,
       "[PortSetting]\n1a5_0_linkspeed=100\n1a5-0-portmode=1\n"},
      {{"set", "DIR/f.ini", "1a5_0_linkspeed=1"},
       kZeroByte,
       1,
       "the file holds a zero byte, after which restore reads nothing\n",
       kZeroByte},
      {{"set", "DIR/f.ini", "1a5_0_forcelinkdisable=1"},
       kOld,
       2,
       "tqvlkaectl set: '1a5_0_forcelinkdisable': forcelinkdisable is not set: restore clears "
       "it on every port after the entries" +
           kUsage,
       kOld},
      {{"set", "DIR/f.ini", "1a5_0_linkspeed=0x10"},
       kOld,
       2,
       "tqvlkaectl set: '0x10' is not a value restore writes to linkspeed (a decimal number of "
       "32 bits)" +
           kUsage,
       kOld},
      {{"set", "DIR/f.ini", "1a5_0_linkspeeed=1"},
       kOld,
       2,
       "tqvlkaectl set: '1a5_0_linkspeeed' is not <hex serial>_<decimal port>_<property> with "
       "serial and port within 32 bits and one of the port properties" +
           kUsage,
       kOld},
      {{"set", "DIR/f.ini", "DIR/g.ini", "1a5_0_linkspeed=1"},
       kOld,
       2,
       "tqvlkaectl set: 'DIR/g.ini' is neither KEY=VALUE nor the one FILE" + kUsage,
       kOld},
      {{"set", "DIR/f.ini"},
       kOld,
       2,
       "tqvlkaectl set: nothing to set: give KEY=VALUE or --from SOURCE" + kUsage,
       kOld},
      {{"set", "--json", "DIR/f.ini", "1a5_0_linkspeed=1000"},
       "[PortSetting]\n1a5_0_linkspeed=10\n1A5_0_LinkSpeed=10\n",
       0,
       "{\"file\":\"DIR/f.ini\",\"outcome\":\"written\",\"dryRun\":false,\"from\":null,"
       "\"entries\":[{\"key\":\"1a5_0_linkspeed\",\"value\":\"1000\",\"outcome\":\"changed\"}],"
       "\"problems\":[{\"line\":3,\"severity\":\"warning\",\"message\":\"'1A5_0_LinkSpeed' sets "
       "the "
       "same property as '1a5_0_linkspeed' on line 2: restore writes both, this one later\"}],"
       "\"refusals\":[],"
       "\"diff\":\"--- DIR/f.ini\\n+++ DIR/f.ini\\n@@ -1,3 +1,3 @@\\n [PortSetting]\\n"
       "-1a5_0_linkspeed=10\\n-1A5_0_LinkSpeed=10\\n+1a5_0_linkspeed=1000\\n"
       "+1A5_0_LinkSpeed=1000\\n\",\"summary\":\"DIR/f.ini: written: 1 changed, 0 added, 0 "
       "already right\"}\n",
       "[PortSetting]\n1a5_0_linkspeed=1000\n1A5_0_LinkSpeed=1000\n"},
  };
  for (const Case& c : cases) {
    Ctl ctl;
    if (c.file != "-") ctl.write("f.ini", c.file);
    ctl.write("new.ini", c.from);
    const SimResult result = ctl.run(c.args, kBench);
    EXPECT_EQ(result.exitStatus, c.exitStatus) << c.args[1] << result.err;
    if (c.exitStatus == 2) {
      EXPECT_EQ(result.err, c.out);
    } else if (c.exitStatus == 1) {
      EXPECT_EQ(result.out.rfind(c.out, 0), 0u) << result.out;
      EXPECT_NE(result.out.find("nothing written\n"), std::string::npos) << result.out;
    } else {
      EXPECT_EQ(result.out, c.out) << c.args[1];
    }
    if (c.after == "-") {
      EXPECT_FALSE(std::filesystem::exists(ctl.path("f.ini")));
    } else {
      EXPECT_EQ(tqtest::readFile(ctl.path("f.ini")), c.after) << c.args[1];
    }
  }
}

// store, then diff is in sync, and restore of the stored file writes back
// exactly what store read: the ports then show what they showed before.
TEST(Ctl, StoreThenRestoreWritesTheCapturedValues) {
  const std::string bench = kBench +
                            "value tq0 port=1 prop=0x13fff7 hex=64000000\n"
                            "value tq1 port=2 prop=0x13fff5 hex=28230000\n"
                            "value tq1 port=0 prop=0x13fffe hex=02000000\n";
  Ctl ctl;
  ctl.write(kDefaultFile, "[PortSetting]\n2b7_2_jumboframes=1500\n");
  const SimResult store = ctl.run({"store"}, bench);
  ASSERT_EQ(store.exitStatus, 0) << store.err;
  EXPECT_EQ(store.out, std::string(kStoredNote) + "DIR/" + kDefaultFile +
                           ": stored: 1 changed, 29 added, 0 already right\n");
  const SimResult diff = ctl.run({"diff"}, bench);
  EXPECT_EQ(diff.exitStatus, 0) << diff.out;
  const SimResult restore = ctl.run({"-r"}, kBench, TQ_TOOL_PATH);
  ASSERT_EQ(restore.exitStatus, 0) << restore.err;
  const std::string restored = storedValues(restore);
  EXPECT_EQ(std::count(restored.begin(), restored.end(), '\n'), 30 + 5);  // and the port pass
  EXPECT_EQ(ctl.run({"show"}, kBench + restored).out, ctl.run({"show"}, bench).out);
}

// One spelling of a value. 16 devices of 16 ports whose 1-byte linkspeed
// holds every code 16 * device + port, and the 4-byte edges in device 0's
// jumboframes: what show prints is what store writes, restore of the stored
// file writes the same bytes back, and a value no settings line carries is
// left out by store for the reason show --json gives.
TEST(Ctl, ShowStoreAndRestoreSpellEveryValueAlike) {
  const char* const kEdges[] = {"00000000", "01000000", "ffffff7f", "00000080", "ffffffff"};
  const char* const kEdgeText[] = {"0", "1", "2147483647", "2147483648", "4294967295"};
  std::string bench = "size 0x13fff7 1\n";
  char line[160];
  for (int d = 0; d < 16; ++d) {
    std::snprintf(
        line, sizeof line,
        "device tq%d serial=0x%x ports=16 pid=1\ninterface tq%d ae_ae\\0 node=/dev/tqae%d\n", d,
        0x100 + d, d, d);
    bench += line;
    for (int p = 0; p < 16; ++p) {
      std::snprintf(line, sizeof line, "value tq%d port=%d prop=0x13fff7 hex=%02x\n", d, p,
                    16 * d + p);
      bench += line;
    }
  }
  for (int p = 0; p < 5; ++p) {
    bench += "value tq0 port=" + std::to_string(p) + " prop=0x13fff5 hex=" + kEdges[p] + "\n";
  }
  Ctl ctl;
  const SimResult show = ctl.run({"show"}, bench);
  const SimResult json = ctl.run({"show", "--json"}, bench);
  const SimResult store = ctl.run({"store"}, bench);
  ASSERT_EQ(store.exitStatus, 0) << store.out << store.err;
  const SimResult restore = ctl.run({"-r"}, bench, TQ_TOOL_PATH);
  ASSERT_EQ(restore.exitStatus, 0) << restore.err;

  std::map<std::string, std::string> shown, written, leftOut, unstorable, restored;
  std::istringstream table(show.out.substr(show.out.find("\nKEY ") + 1));
  for (std::string row; std::getline(table, row);) {
    const std::size_t gap = row.find(' ');
    shown[row.substr(0, gap)] = row.substr(row.find_first_not_of(' ', gap));
  }
  std::istringstream file(tqtest::readFile(ctl.path(kDefaultFile)));
  for (std::string entry; std::getline(file, entry);) {
    if (entry.find('=') != std::string::npos)
      written[entry.substr(0, entry.find('='))] = entry.substr(entry.find('=') + 1);
  }
  std::istringstream notes(store.out);
  for (std::string note; std::getline(notes, note);) {
    const std::size_t at = note.find(": left out: ");
    if (at != std::string::npos) leftOut[note.substr(0, at)] = note.substr(at + 12);
  }
  const nlohmann::json document = nlohmann::json::parse(json.out);
  for (const auto& device : document["devices"]) {
    for (const auto& property : device["properties"]) {
      if (property.contains("unstorable")) unstorable[property["key"]] = property["unstorable"];
    }
  }
  for (const std::string& entry : restore.logStartingWith("ioctl ")) {
    if (logField(entry, "req") != "0x200109") continue;
    restored[logField(entry, "dev") + " " + logField(entry, "port") + " " +
             logField(entry, "prop")] = logField(entry, "value");
  }

  int stored = 0;
  for (int code = 0; code < 256; ++code) {
    const std::string dev = "tq" + std::to_string(code / 16), port = std::to_string(code % 16);
    std::snprintf(line, sizeof line, "%x_%d_linkspeed", 0x100 + code / 16, code % 16);
    const std::string key = line;
    std::snprintf(line, sizeof line, "%02x", code);
    ASSERT_EQ(shown.count(key), 1u) << key;
    if (written.count(key) != 0) {
      ++stored;
      EXPECT_EQ(shown[key], written[key]) << key;
      EXPECT_EQ(restored[dev + " " + port + " 0x0013fff7"], line) << key << " " << written[key];
      EXPECT_EQ(unstorable.count(key), 0u) << key;
    } else {
      EXPECT_FALSE(leftOut[key].empty()) << key;
      EXPECT_EQ(unstorable[key], leftOut[key]) << key;
      EXPECT_EQ(restored.count(dev + " " + port + " 0x0013fff7"), 0u) << key;
    }
  }
  EXPECT_EQ(stored, 94);  // printable ASCII, the space among it, but the double quote
  EXPECT_EQ(written["102_0_linkspeed"], "\" \"");
  for (int p = 0; p < 5; ++p) {
    const std::string key = "100_" + std::to_string(p) + "_jumboframes";
    EXPECT_EQ(shown[key], kEdgeText[p]);
    EXPECT_EQ(written[key], kEdgeText[p]);
    EXPECT_EQ(restored["tq0 " + std::to_string(p) + " 0x0013fff5"], kEdges[p]) << key;
  }
}

namespace {

// Five entries whose values all differ from the bench's; 1a5's linkspeeds
// start at 10. The bench keeps its values across the programs of a test.
const char kFiveEntries[] =
    "[PortSetting]\n1a5_0_linkspeed=1000\n1a5_1_linkspeed=100\n2b7_0_jumboframes=9000\n"
    "2b7_1_portmode=2\n2b7_2_interruptmoderation=1\n";
const std::string kApplyBench = kBench + "state values.txt\n" +
                                "value tq0 port=0 prop=0x13fff7 hex=0a000000\n"
                                "value tq0 port=1 prop=0x13fff7 hex=0a000000\n";

// The set requests of a run, "dev:port:prop=value" each.
std::string setRequests(const SimResult& run) {
  std::string sets;
  for (const std::string& line : run.log) {
    if (line.rfind("ioctl ", 0) != 0 || logField(line, "req") != "0x200109") continue;
    std::string prop = logField(line, "prop").substr(2);  // without 0x and leading zeros
    prop.erase(0, prop.find_first_not_of('0'));
    sets += logField(line, "dev") + ":" + logField(line, "port") + ":" + prop + "=" +
            logField(line, "value") + " ";
  }
  return sets;
}

const char kFiveSets[] =
    "tq0:0:13fff7=e8030000 tq0:1:13fff7=64000000 tq1:0:13fff5=28230000 tq1:1:13fffe=02000000 "
    "tq1:2:13fff3=01000000 ";
const char kFiveWritten[] =
    "DIR/f.ini:2: 1a5_0_linkspeed: 10 -> 1000, verified\n"
    "DIR/f.ini:3: 1a5_1_linkspeed: 10 -> 100, verified\n";

TEST(CtlApply, WritesWhatDiffersAndPutsItBackOnFailure) {
  const std::string kRefusal = "status=-52005:3:tqsim_driver";
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string bench;
    int exitStatus;
    std::string sets;  // every set request, in order
    std::string out;   // the output starts with it
    std::string last;  // its last line
  } cases[] = {
      {"all five differ", {"apply", "DIR/f.ini"}, kApplyBench, 0, kFiveSets,
       std::string(kFiveWritten) +
           "DIR/f.ini:4: 2b7_0_jumboframes: 0 -> 9000, verified\n"
           "DIR/f.ini:5: 2b7_1_portmode: 0 -> 2, verified\n"
           "DIR/f.ini:6: 2b7_2_interruptmoderation: 0 -> 1, verified\n",
       "DIR/f.ini: 5 values changed and verified, 5 already right"},
      // The port pass writes forcelinkdisable where it is not 0, after the
      // entries, and nothing where it is.
      {"the port pass", {"apply", "DIR/f.ini"},
       kApplyBench + "value tq1 port=1 prop=0x0210feea hex=01\n"
                     "value tq0 port=0 prop=0x13fff7 hex=e8030000\n"
                     "value tq0 port=1 prop=0x13fff7 hex=64000000\n"
                     "value tq1 port=0 prop=0x13fff5 hex=28230000\n"
                     "value tq1 port=1 prop=0x13fffe hex=02000000\n"
                     "value tq1 port=2 prop=0x13fff3 hex=01000000\n",
       0, "tq1:1:210feea=00 ", "port pass: 2b7_1_forcelinkdisable: \\x01 -> \\x00, verified\n",
       "DIR/f.ini: 1 value changed and verified, 9 already right"},
      {"the 3rd of 5 writes refused", {"apply", "DIR/f.ini"},
       kApplyBench + "fault ioctl req=0x200109 from=3 times=1 " + kRefusal + "\n", 1,
       "tq0:0:13fff7=e8030000 tq0:1:13fff7=64000000 tq1:0:13fff5=28230000 "
       "tq0:1:13fff7=0a000000 tq0:0:13fff7=0a000000 ",
       std::string(kFiveWritten) +
           "DIR/f.ini:4: 2b7_0_jumboframes: apply stops: Error (-52005): {\"file\":"
           "\"tqsim_driver\",\"line\":3,\"component\":\"tqvlkae\"}\n",
       "DIR/f.ini: apply stopped at DIR/f.ini:4; 2 values it changed are put back and verified: "
       "the bench is as it was"},
      {"a rollback write refused", {"apply", "DIR/f.ini"},
       kApplyBench + "fault ioctl req=0x200109 from=3 times=2 " + kRefusal + "\n", 3,
       "tq0:0:13fff7=e8030000 tq0:1:13fff7=64000000 tq1:0:13fff5=28230000 "
       "tq0:1:13fff7=0a000000 tq0:0:13fff7=0a000000 ",
       std::string(kFiveWritten) +
           "DIR/f.ini:4: 2b7_0_jumboframes: apply stops: Error (-52005): {\"file\":"
           "\"tqsim_driver\",\"line\":3,\"component\":\"tqvlkae\"}\n"
           "1a5_1_linkspeed: left changed: before 10, now 100 (Error (-52005): {\"file\":"
           "\"tqsim_driver\",\"line\":3,\"component\":\"tqvlkae\"})\n",
       "DIR/f.ini: apply stopped at DIR/f.ini:4; 1 of the 2 values it changed could not be put "
       "back"},
      {"check lists the plan", {"apply", "--check", "DIR/f.ini"}, kApplyBench, 1, "",
       "DIR/f.ini:2: 1a5_0_linkspeed: 10 -> 1000\nDIR/f.ini:3: 1a5_1_linkspeed: 10 -> 100\n",
       "DIR/f.ini: 5 values to change, 5 already right (check: nothing written)"},
      {"one device", {"apply", "--serial", "2b7", "DIR/f.ini"}, kApplyBench, 0,
       "tq1:0:13fff5=28230000 tq1:1:13fffe=02000000 tq1:2:13fff3=01000000 ", "",
       "DIR/f.ini: 3 values changed and verified, 3 already right"},
      {"errors check --live finds", {"apply", "DIR/bad.ini"}, kApplyBench, 2, "",
       "DIR/bad.ini:3: error: key '1a5-0-linkspeed'",
       "DIR/bad.ini: apply refuses a file in which check finds errors; nothing written"},
  };
  for (const Case& c : cases) {
    Ctl ctl;
    ctl.write("f.ini", kFiveEntries);
    ctl.write("bad.ini", kBadFile);
    const std::string before = ctl.run({"show"}, c.bench).out;
    const SimResult result = ctl.run(c.args, c.bench);
    EXPECT_EQ(result.exitStatus, c.exitStatus) << c.name << "\n" << result.out << result.err;
    EXPECT_EQ(setRequests(result), c.sets) << c.name;
    EXPECT_EQ(result.out.rfind(c.out, 0), 0u) << c.name << "\n" << result.out;
    EXPECT_NE(result.out.find("\n" + c.last + "\n"), std::string::npos)
        << c.name << "\n" << result.out;
    EXPECT_EQ(result.err, "") << c.name;
    // The driver holds what the exit status says: the target, proven by a
    // second run that finds nothing to write; every value as it was; or
    // not.
    if (c.exitStatus == 0) {
      const SimResult again = ctl.run(c.args, c.bench);
      EXPECT_EQ(again.exitStatus, 0) << c.name << "\n" << again.out;
      EXPECT_EQ(setRequests(again), "") << c.name;
    } else {
      const std::string after = ctl.run({"show"}, c.bench).out;
      EXPECT_EQ(after == before, c.exitStatus != 3) << c.name << "\n" << before << after;
    }
  }
}

}  // namespace

namespace {

// A shell under the simulator that runs tqvlkaectl as script says (CTL
// stands for it, DIR for the run's directory).
SimResult shellRun(const Ctl& ctl, const std::string& script, const std::string& bench) {
  return ctl.run({"-c", replaced(script, "CTL", TQ_CTL_PATH)}, bench, "/bin/sh");
}

// The position of the first log line that starts with prefix; log size
// when none does.
std::size_t firstLine(const SimResult& run, const std::string& prefix) {
  for (std::size_t i = 0; i < run.log.size(); ++i) {
    if (run.log[i].rfind(prefix, 0) == 0) return i;
  }
  return run.log.size();
}

// A signal after the first write, while apply waits for a value that the
// driver does not keep: the write is put back, and the run says why.
TEST(CtlApply, ASignalBetweenWritesPutsBackWhatWasWritten) {
  for (const char* signal : {"INT", "TERM", "HUP"}) {
    Ctl ctl;
    ctl.write("f.ini", kFiveEntries);
    const SimResult result = shellRun(
        ctl,
        "CTL apply --verify-timeout 30 DIR/f.ini & "
        "until grep -q req=0x200109 \"$TQSIM_LOG\"; do sleep 0.01; done; "
        "kill -" + std::string(signal) + " $!; wait $!",
        kApplyBench + "fault ioctl req=0x200109 from=1 times=1 discard\n");
    EXPECT_EQ(result.exitStatus, 1) << signal << result.out << result.err;
    EXPECT_EQ(setRequests(result), "tq0:0:13fff7=e8030000 tq0:0:13fff7=0a000000 ") << signal;
    EXPECT_NE(result.out.find("DIR/f.ini:2: 1a5_0_linkspeed: apply stops: interrupted by SIG" +
                              std::string(signal) + "\n"),
              std::string::npos)
        << result.out;
  }
}

// A value the driver answers but does not keep: after the timeout the run
// fails, and what it wrote before is put back.
TEST(CtlApply, AValueNotKeptFailsAfterTheTimeout) {
  Ctl ctl;
  ctl.write("f.ini", kFiveEntries);
  const SimResult result =
      ctl.run({"apply", "--json", "--verify-timeout", "0.2", "DIR/f.ini"},
              kApplyBench + "fault ioctl req=0x200109 from=2 times=1 discard\n");
  EXPECT_EQ(result.exitStatus, 1) << result.out;
  EXPECT_EQ(setRequests(result),
            "tq0:0:13fff7=e8030000 tq0:1:13fff7=64000000 tq0:1:13fff7=0a000000 "
            "tq0:0:13fff7=0a000000 ");
  EXPECT_NE(result.out.find("\"failure\":{\"key\":\"1a5_1_linkspeed\",\"line\":3,\"serial\":"
                            "\"1a5\",\"port\":1,\"property\":\"linkspeed\",\"code\":null,"
                            "\"report\":\"the driver answered the write but reads back 10, not "
                            "100, 0.2 s after it\"},\"rolled_back\":true,"
                            "\"rollback_failures\":[]"),
            std::string::npos)
      << result.out;
}

// The run lock: while another program holds it, apply and store wait (and
// say so), and apply --no-wait gives up; the holder's release comes before
// every write.
// A program that waits for another's lock says so while the other holds it:
// the holder lets go only once the message is there. The run lock keeps
// applies and stores apart; the settings file's lock keeps readers from a
// writer (check, diff) and a store from readers.
TEST(CtlApply, WaitersForALockSaySoWhileItIsHeld) {
  const std::string kWaiting =
      "tqvlkaectl: waiting for the lock on DIR/run/tq-vlnk/apply.lock held by another apply or "
      "store\n";
  const std::string kWaitingForFile =
      "tqvlkaectl: waiting for the lock on DIR/f.ini held by another program\n";
  struct Case {
    std::string holds;  // the shell's lock: "-x FILE" or "-s FILE"
    std::string command;
    int exitStatus;
    std::string err;
    bool beforeDevices;  // the lock is waited for before any device is asked
  } cases[] = {
      {"-x run/tq-vlnk/apply.lock", "apply DIR/f.ini", 0, kWaiting, true},
      {"-x run/tq-vlnk/apply.lock", "store DIR/f.ini", 0, kWaiting, true},
      {"-x run/tq-vlnk/apply.lock", "apply --no-wait DIR/f.ini", 2,
       "tqvlkaectl: DIR/run/tq-vlnk/apply.lock: another apply or store holds the lock "
       "(--no-wait: not waiting)\n",
       true},
      {"-x f.ini", "check DIR/f.ini", 0, kWaitingForFile, true},
      {"-x f.ini", "diff DIR/f.ini", 1, kWaitingForFile, true},
      {"-s f.ini", "store DIR/f.ini", 0, kWaitingForFile, false},
      {"-x f.ini", "store --dry-run DIR/f.ini", 0, kWaitingForFile, false},
  };
  for (const Case& c : cases) {
    Ctl ctl;
    ctl.write("f.ini", kFiveEntries);
    ctl.write("run/tq-vlnk/apply.lock", "");
    const std::string mode = c.holds.substr(0, 2);
    const std::string held = c.holds.substr(3);
    const SimResult result =
        shellRun(ctl,
                 "exec 9<DIR/" + held + "; flock " + mode + " 9; " + "CTL " + c.command +
                     " 9<&- 2>DIR/err.txt & "
                     "until grep -q lock DIR/err.txt 2>/dev/null; do sleep 0.01; done; "
                     "echo holder releases >>\"$TQSIM_LOG\"; exec 9<&-; wait $!; s=$?; "
                     "cat DIR/err.txt >&2; exit $s",
                 kApplyBench);
    EXPECT_EQ(result.exitStatus, c.exitStatus) << c.command << result.out << result.err;
    EXPECT_EQ(result.err, c.err) << c.command;
    if (c.beforeDevices) {
      EXPECT_LT(firstLine(result, "holder releases"), firstLine(result, "ioctl ")) << c.command;
    }
  }
}

// Two applies at once: one makes all its writes before the other makes any.
TEST(CtlApply, TwoAppliesAtOnceNeverInterleave) {
  Ctl ctl;
  ctl.write("f.ini", kFiveEntries);
  ctl.write("g.ini", replaced(replaced(kFiveEntries, "=1000", "=10"), "=9000", "=1500"));
  const SimResult result = shellRun(
      ctl, "CTL apply DIR/f.ini >/dev/null & CTL apply DIR/g.ini >/dev/null & wait", kApplyBench);
  const std::string sets = setRequests(result);
  const std::string fFirst = kFiveSets;
  // g's values: 10 on 1a5 port 0, 1500 in 2b7's jumboframes; the rest are
  // already what f wrote.
  const std::string gAfterF = "tq0:0:13fff7=0a000000 tq1:0:13fff5=dc050000 ";
  const std::string gFirst =
      "tq0:1:13fff7=64000000 tq1:0:13fff5=dc050000 tq1:1:13fffe=02000000 tq1:2:13fff3=01000000 ";
  const std::string fAfterG = "tq0:0:13fff7=e8030000 tq1:0:13fff5=28230000 ";
  EXPECT_TRUE(sets == fFirst + gAfterF || sets == gFirst + fAfterG) << sets;
}

// metrics: a sample per property the entries restore would apply leave set
// (absent devices none, a repeated property once, with the last value), a
// refused read told apart, and the boot unit's record read, never invented.
TEST(CtlMetrics, SamplesSayWhatRestoreWouldLeaveAndWhatWasRead) {
  const std::string kLinkspeed0 =
      "tqvlkae_setting_in_sync{serial=\"1a5\",port=\"0\",property=\"linkspeed\"} ";
  struct tRow {
    std::string bench;  // after kBench
    std::string settings;
    std::string record;  // empty: none
    std::vector<std::string> lines;
    std::vector<std::string> notLines;
  };
  const std::vector<tRow> rows = {
      {"value tq0 port=0 prop=0x13fff7 hex=64000000\n",
       "[PortSetting]\n1a5_0_linkspeed=1000\n3c9_0_linkspeed=10\n1A5_0_LinkSpeed=100\n",
       "result=success\nexit_status=0\n",
       {kLinkspeed0 + "1", "tqvlkae_settings_entries 3", "tqvlkae_settings_out_of_sync 0",
        "tqvlkae_device_present{serial=\"3c9\"} 0", "tqvlkae_device_present{serial=\"2b7\"} 1",
        "tqvlkae_last_restore_recorded 1", "tqvlkae_last_restore_success 1"},
       {"serial=\"3c9\",port", "tqvlkae_setting_read_refused", kLinkspeed0 + "0"}},
      {"fault ioctl req=0x20010a port=0 prop=0x13fff7 from=2 times=1 status=-52005:1:ae_port.c\n",
       "[PortSetting]\n1a5_0_linkspeed=1000\n2b7_1_linkspeed=10\n",
       "result=exit-code\nexit_status=1\n",
       {"tqvlkae_setting_read_refused{serial=\"1a5\",port=\"0\",property=\"linkspeed\"} 1",
        "tqvlkae_setting_in_sync{serial=\"2b7\",port=\"1\",property=\"linkspeed\"} 0",
        "tqvlkae_settings_out_of_sync 2", "tqvlkae_last_restore_success 0"},
       {kLinkspeed0}},
      // A success word with a failing status, or no result, is no success.
      {"",
       "[PortSetting]\n1a5_0_linkspeed=1000\n",
       "result=success\nexit_status=1\n",
       {"tqvlkae_last_restore_success 0"},
       {}},
      {"",
       "[PortSetting]\nbad key\n",
       "exit_status=0\n",
       {"tqvlkae_last_restore_recorded 0", "tqvlkae_settings_check_errors 1"},
       {"tqvlkae_last_restore_success", "tqvlkae_setting_in_sync"}},
  };
  for (const tRow& row : rows) {
    Ctl ctl;
    ctl.write(kDefaultFile, row.settings);
    if (!row.record.empty()) ctl.write("run/tq-vlnk/last-restore", row.record);
    const SimResult result = ctl.run({"metrics"}, kBench + row.bench);
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    const std::string out = "\n" + result.out;
    for (const std::string& line : row.lines) {
      EXPECT_NE(out.find("\n" + line + "\n"), std::string::npos) << line << " in\n" << out;
    }
    for (const std::string& text : row.notLines) {
      EXPECT_EQ(out.find(text), std::string::npos) << text << " in\n" << out;
    }
  }
  Ctl ctl;
  const SimResult unwritable = ctl.run({"metrics", "--output", "DIR/none/tqvlkae.prom"});
  EXPECT_EQ(unwritable.exitStatus, 2);
  EXPECT_EQ(unwritable.err, "tqvlkaectl: DIR/none/tqvlkae.prom: No such file or directory\n");
  // A directory in the way: the rename fails, and no temporary file stays.
  ctl.write("out/tqvlkae.prom/kept", "");
  const SimResult blocked = ctl.run({"metrics", "--output", "DIR/out/tqvlkae.prom"});
  EXPECT_EQ(blocked.exitStatus, 2);
  EXPECT_EQ(blocked.err, "tqvlkaectl: DIR/out/tqvlkae.prom: Is a directory\n");
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(ctl.path("out"))) {
    left.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(left, std::vector<std::string>{"tqvlkae.prom"});
}

TEST(CtlMetrics, LabelValuesAndHelpAreEscaped) {
  EXPECT_EQ(nTQVLKAET100::escapeLabelValue("a\\b\"c\nd"), "a\\\\b\\\"c\\nd");
  std::ostringstream out;
  nTQVLKAET100::writeExposition(
      out, {{"x", "help \\ \"q\"\nend", "gauge", {{{{"l", "\""}, {"m", "v"}}, 0.5}, {{}, 3}}},
            {"empty", "left out", "gauge", {}}});
  EXPECT_EQ(out.str(),
            "# HELP x help \\\\ \"q\"\\nend\n# TYPE x gauge\nx{l=\"\\\"\",m=\"v\"} 0.5\nx 3\n");
}

}  // namespace
