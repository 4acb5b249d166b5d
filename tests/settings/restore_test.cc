// SPDX-License-Identifier: MIT
// The restore sequence of the real tool (-r), run under the simulated
// driver. The settings file lives in the test's temporary directory: the
// relocation library moves the shared state directory there.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/reloc/relocation_dir.h"
#include "tests/support/lockWaiters.h"
#include "tests/support/readmeTable.h"
#include "tests/support/reports.h"
#include "tests/support/tSimRun.h"

namespace {

using tqtest::SimOptions;
using tqtest::SimResult;
using tqtest::tSimRun;

// Two devices: tq0 (serial 1a5, two ports) and tq1 (serial 2b7, three).
constexpr const char* kBench = tqtest::kTwoDeviceBench;

const char kSettingsFile[] = "state/tq-vlnk/tqvlkae.ini";

// The request lines of one entry: size query, then the write.
std::vector<std::string> entryLines(const std::string& dev, const std::string& node, unsigned port,
                                    const std::string& prop, unsigned size,
                                    const std::string& value) {
  const std::string common = "ioctl dev=" + dev + " req=";
  const std::string args = " port=" + std::to_string(port) + " sel=0xffffffff prop=" + prop;
  return {
      "open dev=" + dev + " node=" + node,
      common + "0x20010a in=64 out=36" + args + " bufsize=0 value=- status=0:0:",
      common + "0x200109 in=64 out=32" + args + " bufsize=" + std::to_string(size) +
          " value=" + value + " status=0:0:",
      "close dev=" + dev,
  };
}

// The port pass over kBench: forcelinkdisable 0 on every port.
std::vector<std::string> portPassLines() {
  std::vector<std::string> lines;
  const struct {
    const char* dev;
    const char* node;
    unsigned ports;
  } devices[] = {{"tq0", "/dev/tqae0", 2}, {"tq1", "/dev/tqae1", 3}};
  for (const auto& d : devices) {
    lines.push_back(std::string("open dev=") + d.dev + " node=" + d.node);
    for (unsigned port = 0; port < d.ports; ++port) {
      lines.push_back(std::string("ioctl dev=") + d.dev +
                      " req=0x200109 in=64 out=32 port=" + std::to_string(port) +
                      " sel=0xffffffff prop=0x0210feea bufsize=1 value=00 status=0:0:");
    }
    lines.push_back(std::string("close dev=") + d.dev);
  }
  return lines;
}

std::vector<std::string> concat(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// A tool run with its settings directory inside the run's temporary
// directory.
class Restore {
 public:
  Restore() {
    options_.env.emplace_back(
        "LD_LIBRARY_PATH",
        tqtest::makeRelocationDir(run_.dir(), {{"sharedstatedir", run_.dir() + "/state"}}));
  }

  const tSimRun& run() const { return run_; }
  std::string settingsPath() const { return run_.dir() + "/" + kSettingsFile; }
  void writeSettings(const std::string& text) const { run_.writeFile(kSettingsFile, text); }

  SimResult restore(const std::string& bench = kBench, int timeoutSeconds = 30) const {
    SimOptions options = options_;
    options.timeoutSeconds = timeoutSeconds;
    return run_.run(bench, {"-r"}, options);
  }

  // Preloads library into the tool, before the simulated driver.
  void preload(const std::string& library) { options_.preload.push_back(library); }

 private:
  tSimRun run_;
  SimOptions options_;
};

TEST(Restore, EntriesInFileOrderThenThePortPass) {
  Restore restore;
  restore.writeSettings(
      "; stored by the bench's configuration tool\n"
      "top=ignored\n"
      "[Other]\n"
      "1a5_0_linkspeed=1\n"
      "[PortSetting]\n"
      "2b7_2_LinkSpeed = \"1000\"\n"
      "1a5_1_forcelinkdisable=1\n"
      "# no device has serial 3c9: skipped\n"
      "3c9_0_linkspeed=10\n"
      "0x1A5_0_portmode=-1\n"
      "1a5_0_jumboframes=+9\"0\"00\n");
  const SimResult result = restore.restore();
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.log, concat({
                            entryLines("tq1", "/dev/tqae1", 2, "0x0013fff7", 4, "e8030000"),
                            entryLines("tq0", "/dev/tqae0", 1, "0x0210feea", 1, "31"),
                            entryLines("tq0", "/dev/tqae0", 0, "0x0013fffe", 4, "ffffffff"),
                            entryLines("tq0", "/dev/tqae0", 0, "0x0013fff5", 4, "28230000"),
                            portPassLines(),
                        }));
}

TEST(Restore, NothingToApplyStillRunsThePortPass) {
  struct Case {
    const char* name;
    std::optional<std::string> settings;  // nullopt: no settings file at all
    int openErrno = 0;                    // not 0: opening the settings file fails so
  } cases[] = {
      {"no settings file", std::nullopt},
      {"open says there is no such file", "[PortSetting]\n1a5_0_linkspeed=10\n", ENOENT},
      {"open says the directory is missing", "[PortSetting]\n1a5_0_linkspeed=10\n", ENOTDIR},
      {"empty file", ""},
      {"comments and blank lines only", "; nothing\n\n# stored yet\n   \n"},
      {"section name in another letter case", "[portsetting]\n1a5_0_linkspeed=10\n"},
      {"section without keys", "[PortSetting]\n"},
      {"a NUL byte first", std::string("\0[PortSetting]\n1a5_0_linkspeed=10\n", 34)},
  };
  for (const Case& c : cases) {
    Restore restore;
    if (c.settings) restore.writeSettings(*c.settings);
    std::string bench = kBench;
    std::vector<std::string> log = portPassLines();
    if (c.openErrno != 0) {
      const std::string fault = "fault open path=" + restore.settingsPath() +
                                " errno=" + std::to_string(c.openErrno);
      bench += fault + "\n";
      log.insert(log.begin(), fault);
    }
    const SimResult result = restore.restore(bench);
    EXPECT_EQ(result.exitStatus, 0) << c.name << ": " << result.err;
    EXPECT_EQ(result.err, "") << c.name;
    EXPECT_EQ(result.log, log) << c.name;
  }
}

TEST(Restore, TextUpToANulByteIsApplied) {
  Restore restore;
  restore.writeSettings(
      std::string("[PortSetting]\n1a5_0_linkspeed=100\n\0garbage without equals\n", 59));
  const SimResult result = restore.restore();
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(result.log, concat({entryLines("tq0", "/dev/tqae0", 0, "0x0013fff7", 4, "64000000"),
                                portPassLines()}));
}

TEST(Restore, FileServedInPiecesIsReadWhole) {
  Restore restore;
  restore.preload(TQ_SHORT_READS_LIBRARY);
  restore.writeSettings("[PortSetting]\n1a5_0_linkspeed=1000\n2b7_1_linkspeed=-2\n");
  const SimResult result = restore.restore();
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(result.log, concat({entryLines("tq0", "/dev/tqae0", 0, "0x0013fff7", 4, "e8030000"),
                                entryLines("tq1", "/dev/tqae1", 1, "0x0013fff7", 4, "feffffff"),
                                portPassLines()}));
}

TEST(Restore, KeysDifferingInLetterCaseAreBothApplied) {
  Restore restore;
  restore.writeSettings("[PortSetting]\n1A5_0_linkspeed=10\n1a5_0_LinkSpeed=100\n");
  const SimResult result = restore.restore();
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(result.log, concat({entryLines("tq0", "/dev/tqae0", 0, "0x0013fff7", 4, "0a000000"),
                                entryLines("tq0", "/dev/tqae0", 0, "0x0013fff7", 4, "64000000"),
                                portPassLines()}));
}

const char kConversionError[] =
    "Exception (N5boost16exception_detail10clone_implINS0_19error_info_injectorINS_16bad_"
    "lexical_castEEEEE): bad lexical cast: source type value could not be interpreted as "
    "target\n";
const char kIniError[] =
    "Exception (N5boost16exception_detail10clone_implINS0_19error_info_injectorINS_13property_"
    "tree10ini_parser16ini_parser_errorEEEEE): <unspecified file>";

// Every failure ends the run with one report line and exit status 1, before
// the port pass; what was written before it stays written.
TEST(Restore, FailuresEndTheRunWithOneReportLine) {
  const std::string first = "1a5_0_linkspeed=10\n";
  const std::vector<std::string> firstLines =
      entryLines("tq0", "/dev/tqae0", 0, "0x0013fff7", 4, "0a000000");
  const std::vector<std::string> none;
  struct Case {
    const char* name;
    std::string section;  // the PortSetting entries after the first one
    std::string bench;    // added to kBench
    std::string err;
    std::vector<std::string> sets;  // the write requests sent, in order
  } cases[] = {
      {"key without property word",
       "2b7_0_=1\n",
       "",
       "Exception (St13runtime_error): Invalid token found in settings INI.\n",
       {}},
      {"port is not a number, device absent",
       "999_x_linkspeed=1\n",
       "",
       "Exception (St13runtime_error): Invalid token found in settings INI.\n",
       {}},
      {"unknown property",
       "1a5_0_linkspeed_x=1\n",
       "",
       "Exception (St12out_of_range): map::at\n",
       {}},
      {"4-byte value too large", "1a5_1_linkspeed=4294967296\n", "", kConversionError, {}},
      {"4-byte value in hexadecimal", "1a5_1_linkspeed=0x10\n", "", kConversionError, {}},
      {"4-byte value with a space", "1a5_1_linkspeed=1 000\n", "", kConversionError, {}},
      {"value of quotes only", "1a5_1_linkspeed=\"\"\n", "", kConversionError, {}},
      {"1-byte value of two characters", "1a5_1_forcelinkdisable=10\n", "", kConversionError, {}},
      {"1-byte empty value", "1a5_1_forcelinkdisable=\n", "", kConversionError, {}},
      {"driver reports size 2",
       "1a5_1_phystate=1\n",
       "size 0x13fffd 2\n",
       "Exception (St13runtime_error): The property size is incorrect. Verify the property ID.\n",
       {}},
      {"driver refuses the write",
       "2b7_1_portmode=3\n",
       "fault ioctl req=0x200109 prop=0x13fffe status=-52005:417:ae_port.c\n",
       "Error (-52005): {\"file\":\"ae_port.c\",\"line\":417,\"component\":\"tqvlkae\"}\n",
       {"port=1 sel=0xffffffff prop=0x0013fffe bufsize=4 value=03000000"}},
      {"driver refuses the size query",
       "2b7_1_portmode=3\n",
       "fault ioctl req=0x20010a from=2 status=-52006:9:ae_props.c\n",
       "Error (-52006): {\"file\":\"ae_props.c\",\"line\":9,\"component\":\"tqvlkae\"}\n",
       {}},
      {"the request fails in transport",
       "2b7_1_portmode=3\n",
       "fault ioctl dev=tq1 errno=ENOTTY\n",
       "Error (-52002): "
       "{\"file\":\"tDeviceInterfaceProxy\",\"line\":85,\"component\":\"tqvlkae\"}\n",
       {}},
      {"device node missing",
       "3c9_0_portmode=3\n",
       "device tq2 serial=0x3c9 ports=1 pid=1\ninterface tq2 ae_ae\\0 node=/dev/tqae2 missing\n",
       "Error (-52006): {\"file\":\"tqapal/protons/driver/linuxU/tDeviceInterfaceProxy\","
       "\"line\":46,\"component\":\"tqvlkaepr\"}\n",
       {}},
  };
  for (const Case& c : cases) {
    Restore restore;
    restore.writeSettings("[PortSetting]\n" + first + c.section + "2b7_2_linkspeed=20\n");
    const SimResult result = restore.restore(kBench + c.bench);
    EXPECT_EQ(result.exitStatus, 1) << c.name;
    EXPECT_EQ(result.out, "") << c.name;
    EXPECT_EQ(result.err, c.err) << c.name;
    // The first entry was written; nothing after the failure, no port pass.
    std::vector<std::string> sets;
    for (const std::string& line : result.logStartingWith("ioctl dev=")) {
      if (line.find("req=0x200109") == std::string::npos) continue;
      sets.push_back(line.substr(line.find("port=")));
    }
    std::vector<std::string> expected = {
        "port=0 sel=0xffffffff prop=0x0013fff7 bufsize=4 value=0a000000 status=0:0:"};
    for (const std::string& set : c.sets) expected.push_back(set + " status=0:0:");
    EXPECT_EQ(sets, expected) << c.name;
    // Every device opened was closed again, also on the failure road.
    EXPECT_EQ(result.logStartingWith("open dev=").size(),
              result.logStartingWith("close dev=").size())
        << c.name;
    EXPECT_TRUE(result.logStartingWith("leak").empty()) << c.name;
  }
}

TEST(Restore, WarningReplyIsDroppedAndTheRunGoesOn) {
  Restore restore;
  restore.writeSettings("[PortSetting]\n1a5_0_linkspeed=10\n2b7_1_linkspeed=20\n");
  const SimResult result = restore.restore(
      std::string(kBench) + "fault ioctl req=0x200109 prop=0x13fff7 status=52001:5:ae_port.c\n");
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.logStartingWith("ioctl dev=").size(), 2u * 2u + 5u);
}

TEST(Restore, IniReaderErrorsNameTheLine) {
  struct Case {
    const char* text;
    const char* err;
  } cases[] = {
      {"[PortSetting]\n1a5_0_linkspeed=10\nabc\n", "(3): '=' character not found in line\n"},
      {"; comment\n[PortSetting\n", "(2): unmatched '['\n"},
      {"[PortSetting]\n=10\n", "(2): key expected\n"},
      {"[PortSetting]\n1a5_0_linkspeed=10\n\n1a5_0_linkspeed=20\n", "(4): duplicate key name\n"},
      {"[PortSetting]\n1a5_0_linkspeed=10\n[PortSetting]\n1a5_1_linkspeed=10\n",
       "(3): duplicate section name\n"},
  };
  for (const Case& c : cases) {
    Restore restore;
    restore.writeSettings(c.text);
    const SimResult result = restore.restore();
    EXPECT_EQ(result.exitStatus, 1) << c.text;
    EXPECT_EQ(result.err, kIniError + std::string(c.err)) << c.text;
    // Nothing of a file that does not parse is applied.
    EXPECT_TRUE(result.log.empty()) << c.text << result.log.front();
  }
}

TEST(Restore, UnreadableSettingsFile) {
  Restore restore;
  // A directory in the file's place opens, reports a size and fails to read.
  restore.run().writeFile(std::string(kSettingsFile) + "/entry", "x");
  const SimResult result = restore.restore();
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(result.err, "Exception (St13runtime_error): The INI file could not be read.\n");
  EXPECT_TRUE(result.log.empty());
}

TEST(Restore, SettingsDirectoryThatCannotBeComputed) {
  Restore restore;
  restore.writeSettings("[PortSetting]\n1a5_0_linkspeed=10\n");
  // A relocation library that fails makes every directory lookup fail.
  restore.run().writeFile("tqrelocations.conf", "a line without an equals sign\n");
  const SimResult result = restore.restore();
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(result.err, tqtest::pathReport("0xFFFF34DA"));
  EXPECT_TRUE(result.log.empty());
}

TEST(Restore, WaitsForAWriterHoldingTheFileExclusively) {
  Restore restore;
  // The file holds text that does not parse until the writer has finished.
  restore.writeSettings("half-written\n");
  const int fd = ::open(restore.settingsPath().c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  const std::string path = restore.settingsPath();
  std::thread writer([fd, path] {
    // The restore asks for its shared lock while the writer holds the file.
    EXPECT_TRUE(tqtest::lockWaiterAppears(path)) << "restore never waited for the lock";
    const std::string text = "[PortSetting]\n2b7_0_linkspeed=10\n";
    EXPECT_EQ(::ftruncate(fd, 0), 0);
    EXPECT_EQ(::pwrite(fd, text.data(), text.size(), 0), static_cast<ssize_t>(text.size()));
    ::flock(fd, LOCK_UN);
  });
  const SimResult result = restore.restore();
  writer.join();
  ::close(fd);
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(result.log, concat({entryLines("tq1", "/dev/tqae1", 0, "0x0013fff7", 4, "0a000000"),
                                portPassLines()}));
}

// Faults at the system boundary: each ends the run with its one report line
// and exit status 1, writes nothing after the failure, skips the port pass
// and leaves no descriptor open.
TEST(Restore, SystemFaultsEndTheRunWithOneReportLine) {
  const char kEnum[] = "tqapal/protons/enumeration/linuxU/";
  const std::string serial1 = "/proc/driver/tq/tq1/deviceProperties/SerialNum";
  const std::vector<std::string> firstWritten = {
      "port=0 sel=0xffffffff prop=0x0013fff7 bufsize=4 value=0a000000 status=0:0:"};
  struct Case {
    const char* name;
    std::string fault;  // the bench line; @ stands for the settings file's path
    std::string err;
    std::vector<std::string> sets;  // the write requests sent, in order
  } cases[] = {
      {"the settings file fails on read", "fault read path=@ errno=EIO",
       "Exception (St13runtime_error): The INI file could not be read.\n", {}},
      // A file that is there but cannot be opened is not a missing file.
      {"the settings file cannot be opened: a security module refuses",
       "fault open path=@ errno=EACCES",
       "Exception (St13runtime_error): The INI file could not be read.\n", {}},
      {"the settings file cannot be opened: EIO", "fault open path=@ errno=EIO",
       "Exception (St13runtime_error): The INI file could not be read.\n", {}},
      {"the settings file cannot be opened: no descriptor left", "fault open path=@ errno=EMFILE",
       "Exception (St13runtime_error): The INI file could not be read.\n", {}},
      {"the settings file cannot be opened: a link loop",
       "fault open path=@ errno=" + std::to_string(ELOOP),
       "Exception (St13runtime_error): The INI file could not be read.\n", {}},
      {"the shared lock is refused", "fault flock path=@ errno=ENOLCK",
       "Error (-52008): {\"error_constant\":\"tqapalerr_osFault\",\"file\":\"tqafa/internal/"
       "FileLockImpl\",\"line\":218,\"component\":\"tqvlkaepropinit\",\"internal_error\":{"
       "\"api\":\"errno\",\"code\":37,\"string\":\"No locks available\"}}\n",
       {}},
      {"the device search fails", "fault glob result=aborted",
       "Error (-52003): {\"file\":\"" + std::string(kEnum) +
           "tDeviceInterfaceIterator\",\"line\":44,\"component\":\"tqvlkaepr\"}\n",
       {}},
      {"the device search runs out of memory", "fault glob result=nospace",
       "Error (-52003): {\"file\":\"" + std::string(kEnum) +
           "tDeviceInterfaceIterator\",\"line\":44,\"component\":\"tqvlkaepr\"}\n",
       {}},
      // The first entry's device, tq0, is found before tq1 is read.
      {"a serial number file cannot be opened, ten times",
       "fault fopen path=" + serial1 + " errno=EIO",
       "Error (-52006): {\"file\":\"" + std::string(kEnum) +
           "linuxDevEnumHelper\",\"line\":87,\"component\":\"tqvlkaepr\"}\n",
       firstWritten},
      {"a serial number file fails while it is read", "fault fread path=" + serial1,
       "Error (-52024): {\"file\":\"" + std::string(kEnum) +
           "linuxDevEnumHelper\",\"line\":78,\"component\":\"tqvlkaepr\"}\n",
       firstWritten},
  };
  for (const Case& c : cases) {
    Restore restore;
    restore.writeSettings("[PortSetting]\n1a5_0_linkspeed=10\n2b7_2_linkspeed=20\n");
    std::string fault = c.fault;
    if (fault.find('@') != std::string::npos)
      fault.replace(fault.find('@'), 1, restore.settingsPath());
    const SimResult result = restore.restore(std::string(kBench) + fault + "\n");
    EXPECT_EQ(result.exitStatus, 1) << c.name;
    EXPECT_EQ(result.out, "") << c.name;
    EXPECT_EQ(result.err, c.err) << c.name;
    EXPECT_FALSE(result.logStartingWith("fault ").empty()) << c.name << ": the fault never fired";
    std::vector<std::string> sets;
    for (const std::string& line : result.logStartingWith("ioctl dev=")) {
      if (line.find("req=0x200109") != std::string::npos)
        sets.push_back(line.substr(line.find("port=")));
    }
    EXPECT_EQ(sets, c.sets) << c.name;
    EXPECT_EQ(result.logStartingWith("open dev=").size(),
              result.logStartingWith("close dev=").size())
        << c.name;
    EXPECT_TRUE(result.logStartingWith("leak").empty()) << c.name;
  }
}

// The README's table of report lines by cause: each row's bench lines give
// its report line, exactly, with exit status 1 ("(none" rows: a clean run).
TEST(Restore, ReadmeReportLines) {
  const auto rows = tqtest::readmeTable("| cause | bench lines | report line |");
  ASSERT_GE(rows.size(), 12u);
  for (const auto& row : rows) {
    ASSERT_EQ(row.size(), 3u);
    Restore restore;
    restore.writeSettings(
        "[PortSetting]\n1a5_0_linkspeed=10\n2b7_0_linkspeed=10\n3c9_0_linkspeed=10\n");
    std::string bench = row[1];
    const std::string documented = "/var/lib/tq-vlnk/tqvlkae.ini";
    if (bench.find(documented) != std::string::npos)
      bench.replace(bench.find(documented), documented.size(), restore.settingsPath());
    const SimResult result = restore.restore(std::string(kBench) + bench + "\n");
    const bool clean = row[2].rfind("(none", 0) == 0;
    EXPECT_EQ(result.exitStatus, clean ? 0 : 1) << row[0];
    EXPECT_EQ(result.err, clean ? "" : row[2] + "\n") << row[0];
  }
}

// Settings files as they may be found on a bench, damaged or hand-edited:
// each run applies what the file says or ends in exactly one report line
// with exit status 1, writing nothing of a file it refuses; never a crash
// or a hang.
std::string junk(std::size_t size) {
  std::string bytes;
  std::uint32_t x = 12345;
  for (std::size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    bytes.push_back(static_cast<char>((x >> 16) & 0xff));
  }
  return bytes;
}

TEST(BadSettingsFile, AppliedOrOneReportLine) {
  const char kInvalidKey[] = "Exception (St13runtime_error): Invalid token found in settings INI.\n";
  const std::string linkspeed10 = "port=0 sel=0xffffffff prop=0x0013fff7 bufsize=4 value=0a000000";
  const std::string mebibyte(1 << 20, 'c');
  struct Case {
    const char* name;
    std::string text;
    std::string err;                // empty: the run succeeds
    std::vector<std::string> sets;  // the entry writes, before the port pass
  } cases[] = {
      {"0 bytes", "", "", {}},
      {"binary junk", junk(4096), kIniError + std::string("(1): '=' character not found in line\n"),
       {}},
      // The reader takes the mark for part of the first line, which then
      // is neither a section header nor a key line.
      {"a UTF-8 byte-order mark before the section header",
       "\xEF\xBB\xBF[PortSetting]\n1a5_0_linkspeed=10\n",
       kIniError + std::string("(1): '=' character not found in line\n"), {}},
      {"CRLF line endings", "[PortSetting]\r\n1a5_0_linkspeed=10\r\n2b7_1_forcelinkdisable=1\r\n", "",
       {linkspeed10, "port=1 sel=0xffffffff prop=0x0210feea bufsize=1 value=31"}},
      {"a comment line of 1 MiB", "[PortSetting]\n;" + mebibyte + "\n1a5_0_linkspeed=10\n", "",
       {linkspeed10}},
      {"a value of 1 MiB", "[PortSetting]\n1a5_0_linkspeed=" + std::string(1 << 20, '1') + "\n",
       kConversionError, {}},
      {"a property word of 1 MiB", "[PortSetting]\n1a5_0_" + mebibyte + "=1\n",
       "Exception (St12out_of_range): map::at\n", {}},
      {"a serial of 10,000 hex digits", "[PortSetting]\n" + std::string(10000, 'f') + "_0_linkspeed=10\n",
       kInvalidKey, {}},
      {"a serial of 10,000 hex digits, all but three of them leading zeros",
       "[PortSetting]\n" + std::string(9997, '0') + "1a5_0_linkspeed=10\n", "", {linkspeed10}},
      // scanf would keep the low 32 bits and write to device 1a5.
      {"a serial above 32 bits", "[PortSetting]\n1000001a5_0_linkspeed=10\n", kInvalidKey, {}},
      // scanf would keep the low 32 bits and write to port 0.
      {"a port of 4294967296", "[PortSetting]\n1a5_4294967296_linkspeed=10\n", kInvalidKey, {}},
      {"a 4-byte value of 10,000 digits",
       "[PortSetting]\n1a5_0_linkspeed=" + std::string(10000, '1') + "\n", kConversionError, {}},
      {"a 4-byte value of 10,000 characters, leading zeros",
       "[PortSetting]\n1a5_0_linkspeed=" + std::string(9998, '0') + "10\n", "", {linkspeed10}},
      {"a 1-byte value of 10,000 characters",
       "[PortSetting]\n1a5_0_forcelinkdisable=" + std::string(10000, 'y') + "\n", kConversionError,
       {}},
      {"a 1-byte value of 10,000 characters that are quotes but one",
       "[PortSetting]\n1a5_0_forcelinkdisable=" + std::string(9999, '"') + "7\n", "",
       {"port=0 sel=0xffffffff prop=0x0210feea bufsize=1 value=37"}},
  };
  for (const Case& c : cases) {
    Restore restore;
    restore.writeSettings(c.text);
    const SimResult result = restore.restore();
    EXPECT_FALSE(result.timedOut) << c.name;
    EXPECT_EQ(result.exitStatus, c.err.empty() ? 0 : 1) << c.name << "\n" << result.err;
    EXPECT_EQ(result.out, "") << c.name;
    EXPECT_EQ(result.err, c.err) << c.name;
    std::vector<std::string> sets;
    for (const std::string& line : result.logStartingWith("ioctl dev=")) {
      if (line.find("req=0x200109") == std::string::npos) continue;
      const std::string set = line.substr(line.find("port="));
      if (set.find("prop=0x0210feea bufsize=1 value=00 ") != std::string::npos) continue;
      sets.push_back(set.substr(0, set.find(" status=")));
    }
    EXPECT_EQ(sets, c.sets) << c.name;
    // The port pass runs after a file that was applied, never after one
    // that was refused.
    const std::vector<std::string> portPass = portPassLines();
    EXPECT_EQ(result.log.size() >= portPass.size() &&
                  std::equal(portPass.begin(), portPass.end(), result.log.end() - portPass.size()),
              c.err.empty())
        << c.name;
    EXPECT_TRUE(result.logStartingWith("leak").empty()) << c.name;
  }
}

// Read in one piece and parsed whole: the entry after 100 MiB of comments
// is applied. (Kept apart from the table so that the valgrind runs skip it.)
TEST(BadSettingsFile, HundredMebibytes) {
  Restore restore;
  const std::string comment = "; " + std::string(61, 'x') + "\n";
  std::string text = "[PortSetting]\n";
  text.reserve((100u << 20) + 64);
  while (text.size() < (100u << 20)) text += comment;
  text += "1a5_0_linkspeed=10\n";
  restore.writeSettings(text);
  text.clear();
  text.shrink_to_fit();
  const SimResult result = restore.restore(kBench, 180);
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.log, concat({entryLines("tq0", "/dev/tqae0", 0, "0x0013fff7", 4, "0a000000"),
                                portPassLines()}));
}

}  // namespace
