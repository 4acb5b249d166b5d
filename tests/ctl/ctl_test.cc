// SPDX-License-Identifier: MIT
// tqvlkaectl under the simulated driver: {arguments, exit status, output}
// tables per command, and the driver's request log to prove that no
// command writes to a device (no set request 0x200109).
#include <sys/stat.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ctl/jsonWriter.h"
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

// A run of tqvlkaectl (or the tool) whose settings directory lies inside
// the run's temporary directory; DIR in arguments and files stands for it.
class Ctl {
 public:
  Ctl() {
    options_.env.emplace_back(
        "LD_LIBRARY_PATH",
        tqtest::makeRelocationDir(run_.dir(), {{"sharedstatedir", run_.dir() + "/state"}}));
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
    for (const std::string& line : result.log) {
      if (program == TQ_TOOL_PATH) break;  // restore writes
      EXPECT_EQ(line.find("req=0x200109"), std::string::npos) << args[0] << ": " << line;
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
       "DIR/f.ini: 0 errors, 0 warnings; restore would run through: 4 entries, then the port "
       "pass\n"},
      {{"check", "--live", "DIR/f.ini"},
       kGoodFile,
       kBench,
       0,
       "DIR/f.ini: 0 errors, 0 warnings; restore would run through: 4 entries, then the port "
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
       "property '\\\"x\\u0001\\u00ff' in key '1a5_0_\\\"x\\u0001\\u00ff'; did you mean "
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
            "DIR/open/f.ini: 0 errors, 2 warnings; restore would run through: 4 entries, then "
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
      {{"check", "DIR/none.ini"}, 2, "tqvlkaectl: DIR/none.ini: No such file or directory\n"},
      {{"diff", "DIR"},
       2,
       "tqvlkaectl: DIR: Exception (St13runtime_error): The INI file could not be read.\n"},
  };
  for (const Case& c : cases) {
    const SimResult result = Ctl().run(c.args);
    EXPECT_EQ(result.exitStatus, c.exitStatus) << (c.args.empty() ? "" : c.args[0]);
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.out.empty(), c.exitStatus != 0);
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
                          "\"pid\":\"7c5\",\"properties\":[{\"port\":0,\"property\":\"portmode\","
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
                             "\"restore\":\"9000\",\"live\":\"1500\"}"),
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
}

TEST(Ctl, JsonStringsAreValidForAnyBytes) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"plain", "\"plain\""},
      {"q\"b\\n\nt\tc\x1f\x7f", "\"q\\\"b\\\\n\\nt\\tc\\u001f\\u007f\""},
      {"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", "\"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\""},
      {"\xc3(\xc0\xaf\xed\xa0\x80\xf4\x90\x80\x80\xe2\x82",
       "\"\\u00c3(\\u00c0\\u00af\\u00ed\\u00a0\\u0080\\u00f4\\u0090\\u0080\\u0080\\u00e2\\u0082\""},
  };
  for (const auto& c : cases) {
    std::ostringstream out;
    nTQVLKAET100::writeJsonString(out, c.in);
    EXPECT_EQ(out.str(), c.out);
  }
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
       std::string(kStoredNote) + "DIR/f.ini: 6 values stored\n",
       kNew},
      {{"store", "--dry-run", "DIR/f.ini"},
       kOld,
       kOnePortBench,
       0,
       std::string(kStoredNote) +
           "--- DIR/f.ini\n+++ DIR/f.ini\n@@ -1,5 +1,10 @@\n ; by hand\r\n [PortSetting]\r\n"
           "-0x1A5_0_LinkSpeed=10\r\n+0x1A5_0_LinkSpeed=1000\r\n+1a5_0_portmode=0\r\n"
           "+1a5_0_phystate=0\r\n+1a5_0_jumboframes=9000\r\n+1a5_0_interruptmoderation=0\r\n"
           "+1a5_0_sleepcapabilityconfigured=0\r\n [Other]\r\n k=v\r\n"
           "DIR/f.ini: 6 values would be stored (dry run: nothing written)\n",
       kOld},
      {{"store", "DIR/f.ini"},
       kNew,
       kOnePortBench,
       0,
       std::string(kStoredNote) + "DIR/f.ini: 6 values already stored: nothing to change\n",
       kNew},
      // A 1-byte value no settings line carries; the named file is created.
      {{"store", "--serial", "0x1A5", "DIR/f.ini"},
       "",
       std::string(kOnePortBench) + "size 0x13fff7 1\nvalue tq0 port=0 prop=0x13fff7 hex=07\n",
       0,
       "1a5_0_linkspeed: left out: a control character (0x07) cannot be written in a settings "
       "line\n" +
           std::string(kStoredNote) + "DIR/f.ini: 5 values stored, 1 left out\n",
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
      {{"store", "--json"}, kOld, kOnePortBench, 2, "", kOld},
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
  EXPECT_EQ(store.out, std::string(kStoredNote) + "DIR/" + kDefaultFile + ": 30 values stored\n");
  const SimResult diff = ctl.run({"diff"}, bench);
  EXPECT_EQ(diff.exitStatus, 0) << diff.out;
  const SimResult restore = ctl.run({"-r"}, kBench, TQ_TOOL_PATH);
  ASSERT_EQ(restore.exitStatus, 0) << restore.err;
  const std::string restored = storedValues(restore);
  EXPECT_EQ(std::count(restored.begin(), restored.end(), '\n'), 30 + 5);  // and the port pass
  EXPECT_EQ(ctl.run({"show"}, kBench + restored).out, ctl.run({"show"}, bench).out);
}
