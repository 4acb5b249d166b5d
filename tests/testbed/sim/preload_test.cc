// SPDX-License-Identifier: MIT
// The preloaded simulator seen from a client that makes the tool's calls.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/tSimRun.h"

namespace {

using tqtest::SimOptions;
using tqtest::SimResult;
using tqtest::tSimRun;

const char kTwoDevices[] =
    "device tqdev1 serial=0x1a5 ports=2 pid=0x815\n"
    "interface tqdev1 ae_ae\\0 node=/dev/tqae1\n"
    "interface tqdev1 can_can\\0 node=/dev/tqcan0\n"  // another kind: not listed
    "device tqdev0 serial=0xbeef ports=1 pid=1\n"
    "interface tqdev0 ae_ae\\1 node=/dev/tqae0b\n"
    "interface tqdev0 ae_ae\\0 node=/dev/tqae0\n";

SimResult client(const tSimRun& run, const std::string& bench, std::vector<std::string> args) {
  SimOptions options;
  options.program = TQ_SIM_CLIENT;
  options.timeoutSeconds = 20;
  return run.run(bench, args, options);
}

TEST(SimPreload, ListsAeInterfacesInByteOrderWithProcPaths) {
  tSimRun run;
  SimResult r = client(run, kTwoDevices, {"list"});
  ASSERT_EQ(r.exitStatus, 0) << r.err;
  EXPECT_EQ(r.out,
            "glob=0"
            " [/proc/driver/tq/tqdev0/deviceInterfaces/ae_ae\\0 path=/dev/tqae0"
            " SerialNum=efbe0000 NumPorts=01000000 PID=01000000]"
            " [/proc/driver/tq/tqdev0/deviceInterfaces/ae_ae\\1 path=/dev/tqae0b"
            " SerialNum=efbe0000 NumPorts=01000000 PID=01000000]"
            " [/proc/driver/tq/tqdev1/deviceInterfaces/ae_ae\\0 path=/dev/tqae1"
            " SerialNum=a5010000 NumPorts=02000000 PID=15080000]\n");
  EXPECT_TRUE(r.log.empty()) << r.log[0];
  // The generated tree is gone with the process.
  EXPECT_EQ(system(("ls " + run.dir() + " | grep -q tqsim").c_str()) == 0, false);
}

TEST(SimPreload, NoDevicesIsNoMatch) {
  tSimRun run;
  SimResult r = client(run, "", {"list"});
  EXPECT_EQ(r.out, "glob=3\n");  // GLOB_NOMATCH
}

TEST(SimPreload, PropertyFilesAndPathTextsAsTheBenchGivesThem) {
  tSimRun run;
  const std::string longText(256, 'p');
  SimResult r = client(run,
                       "device d serial=1 ports=1 pid=2\n"
                       "property d SerialNum hex=a501\n"
                       "property d NumPorts hex=0102030405\n"
                       "property d PID dir\n"
                       "interface d ae_ae\\0 node=/dev/tqae0 text=" +
                           longText + "\n",
                       {"list"});
  EXPECT_EQ(r.out, "glob=0 [/proc/driver/tq/d/deviceInterfaces/ae_ae\\0 path=" + longText +
                       " SerialNum=a501 NumPorts=0102030405 deviceProperties/PID=fread]\n");
}

TEST(SimPreload, PropertyRequestsOnANodeAreAnsweredAndLogged) {
  tSimRun run;
  SimResult r = client(run, kTwoDevices,
                       {"size", "/dev/tqae1", "1", "0x13fff7",             //
                        "set", "/dev/tqae1", "1", "0x13fff7", "e8030000",  //
                        "get", "/dev/tqae1", "1", "0x13fff7", "4",         //
                        "warn", "/dev/tqae0", "0", "0x0210feea", "30"});
  ASSERT_EQ(r.exitStatus, 0) << r.err;
  EXPECT_EQ(r.out,
            "size=4 status=0:0:\n"
            "status=0:0:\n"
            "size=4 status=0:0: value=e8030000\n"
            "status=0:0:\n");
  const std::vector<std::string> expected = {
      "open dev=tqdev1 node=/dev/tqae1",
      "ioctl dev=tqdev1 req=0x20010a in=64 out=36 port=1 sel=0xffffffff prop=0x0013fff7 "
      "bufsize=0 value=- status=0:0:",
      "close dev=tqdev1",
      "open dev=tqdev1 node=/dev/tqae1",
      "ioctl dev=tqdev1 req=0x200109 in=64 out=32 port=1 sel=0xffffffff prop=0x0013fff7 "
      "bufsize=4 value=e8030000 status=0:0:",
      "close dev=tqdev1",
      "open dev=tqdev1 node=/dev/tqae1",
      "ioctl dev=tqdev1 req=0x20010a in=64 out=36 port=1 sel=0xffffffff prop=0x0013fff7 "
      "bufsize=4 value=- status=0:0:",
      "close dev=tqdev1",
      "open dev=tqdev0 node=/dev/tqae0",
      "ioctl dev=tqdev0 req=0x200109 in=64 out=32 port=0 sel=0xffffffff prop=0x0210feea "
      "bufsize=1 value=30 status=7:12:client.c",
      "close dev=tqdev0",
  };
  EXPECT_EQ(r.log, expected);
}

TEST(SimPreload, OtherRequestsAndBadCalls) {
  tSimRun run;
  SimResult r = client(run, kTwoDevices,
                       {"raw", "/dev/tqae0", "0x200102", "40", "32",  //
                        "raw", "/dev/tqae0", "0x200109", "64", "36",  //
                        "badptr", "/dev/tqae0"});
  EXPECT_EQ(r.out, "returned=32 reply=" + std::string(64, '0') +
                       "\n"
                       "ioctl=22\n"    // EINVAL: a set with the wrong reply size
                       "ioctl=14\n");  // EFAULT
  // The input bytes are 0, 1, 2, ...: decoded at the request's offsets,
  // the status block from byte 8 on.
  std::string file;
  for (int c = 0x10; c < 0x28; ++c) {
    char t[8];
    snprintf(t, sizeof t, c > 0x20 ? "%c" : "\\x%02x", c);
    file += t;
  }
  ASSERT_GE(r.log.size(), 2u);
  EXPECT_EQ(r.log[1], "ioctl dev=tqdev0 req=0x200102 in=40 out=32 a=0x3020100 b=0x7060504 status=" +
                          std::to_string(0x0b0a0908) + ":" + std::to_string(0x0f0e0d0c) + ":" +
                          file);
}

TEST(SimPreload, EveryOpenEntryReachesTheNodeAndTheTree) {
  tSimRun run;
  SimResult r =
      client(run, kTwoDevices,
             {"opens", "/dev/tqae0", "opens", "/proc/driver/tq/tqdev0/deviceProperties/PID"});
  const std::string allOpened =
      "open=1 open64=1 __open_2=1 __open64_2=1 openat=1 openat64=1 __openat_2=1 __openat64_2=1\n";
  EXPECT_EQ(r.out, allOpened + allOpened);
  // The client opens through all eight entries, then closes.
  std::vector<std::string> expected(8, "open dev=tqdev0 node=/dev/tqae0");
  expected.resize(16, "close dev=tqdev0");
  EXPECT_EQ(r.log, expected);
}

TEST(SimPreload, NodeStates) {
  tSimRun run;
  SimResult r = client(run,
                       "device d serial=1 ports=1 pid=2\n"
                       "interface d ae_ae\\0 node=/dev/tqgone missing\n"
                       "interface d ae_ae\\1 node=/dev/tqlocked forbidden\n",
                       {"size", "/dev/tqgone", "0", "1", "size", "/dev/tqlocked", "0", "1"});
  EXPECT_EQ(r.out, "open=2\nopen=13\n");  // ENOENT, EACCES
  EXPECT_TRUE(r.log.empty());
}

TEST(SimPreload, IoctlFaultsReachTheCaller) {
  tSimRun run;
  SimResult r = client(run,
                       std::string(kTwoDevices) +
                           "fault ioctl seq=1 errno=ENOTTY\n"
                           "fault ioctl dev=tqdev1 port=1 prop=0x13fff7 status=-52006:88:k.c\n",
                       {"size", "/dev/tqae1", "0", "0x13fff7",  //
                        "size", "/dev/tqae1", "1", "0x13fff7",  //
                        "size", "/dev/tqae1", "0", "0x13fff7"});
  EXPECT_EQ(r.out, "ioctl=25\nsize=4 status=-52006:88:k.c\nsize=4 status=0:0:\n");
  EXPECT_EQ(r.logStartingWith("fault").size(), 2u);
}

struct SystemFaultCase {
  const char* name;
  const char* fault;
  std::vector<std::string> args;
  const char* out;
  const char* logLine;
};

void PrintTo(const SystemFaultCase& c, std::ostream* os) {
  *os << c.name;
}

class SimSystemFault : public ::testing::TestWithParam<SystemFaultCase> {};

TEST_P(SimSystemFault, FailsTheCallAndLogsIt) {
  const SystemFaultCase& c = GetParam();
  tSimRun run;
  const std::string settings = run.writeFile("state/tqvlkae.ini", "[PortSetting]\n");
  std::vector<std::string> args;
  for (const auto& a : c.args) args.push_back(a == "INI" ? settings : a);
  std::string fault = c.fault;
  const auto at = fault.find("INI");
  if (at != std::string::npos) fault.replace(at, 3, settings);
  SimResult r = client(run,
                       "device d serial=1 ports=1 pid=2\n"
                       "interface d ae_ae\\0 node=/dev/tqae0\n" +
                           fault + "\n",
                       args);
  EXPECT_EQ(r.out, c.out);
  std::string expected = c.logLine;
  const auto iniAt = expected.find("INI");
  if (iniAt != std::string::npos) expected.replace(iniAt, 3, settings);
  ASSERT_FALSE(r.log.empty());
  // Descriptor numbers depend on what the runtime has open; "#" stands for one.
  const auto hash = expected.find('#');
  if (hash != std::string::npos) {
    const auto digits = r.log[0].find_first_not_of("0123456789", hash);
    if (digits != std::string::npos && digits > hash)
      expected.replace(hash, 1, r.log[0].substr(hash, digits - hash));
  }
  EXPECT_EQ(r.log[0], expected);
}

INSTANTIATE_TEST_SUITE_P(
    Boundary, SimSystemFault,
    ::testing::Values(
        SystemFaultCase{"GlobAborted",
                        "fault glob result=aborted",
                        {"list"},
                        "glob=2\n",
                        "fault glob pattern=/proc/driver/tq/*/deviceInterfaces/ae_ae\\\\* "
                        "result=GLOB_ABORTED"},
        SystemFaultCase{"GlobNoSpace",
                        "fault glob result=nospace",
                        {"list"},
                        "glob=1\n",
                        "fault glob pattern=/proc/driver/tq/*/deviceInterfaces/ae_ae\\\\* "
                        "result=GLOB_NOSPACE"},
        SystemFaultCase{"FopenEveryAttempt",
                        "fault fopen path=/proc/driver/tq/d/deviceProperties/PID errno=EACCES",
                        {"list"},
                        "glob=0 [/proc/driver/tq/d/deviceInterfaces/ae_ae\\0 path=/dev/tqae0"
                        " SerialNum=01000000 NumPorts=01000000 deviceProperties/PID=fopen:13]\n",
                        "fault fopen path=/proc/driver/tq/d/deviceProperties/PID errno=13"},
        SystemFaultCase{"FopenOnce",
                        "fault fopen path=/proc/driver/tq/d/deviceProperties/PID errno=EIO "
                        "times=9",
                        {"list"},
                        "glob=0 [/proc/driver/tq/d/deviceInterfaces/ae_ae\\0 path=/dev/tqae0"
                        " SerialNum=01000000 NumPorts=01000000 PID=02000000]\n",
                        "fault fopen path=/proc/driver/tq/d/deviceProperties/PID errno=5"},
        SystemFaultCase{"Fread",
                        "fault fread path=/proc/driver/tq/d/deviceInterfaces/ae_ae\\0/"
                        "interfacePath",
                        {"list"},
                        "glob=0 [/proc/driver/tq/d/deviceInterfaces/ae_ae\\0 interfacePath=fread"
                        " SerialNum=01000000 NumPorts=01000000 PID=02000000]\n",
                        "fault fread path=/proc/driver/tq/d/deviceInterfaces/ae_ae\\0/"
                        "interfacePath"},
        SystemFaultCase{"Read",
                        "fault read path=INI errno=EIO",
                        {"file", "INI"},
                        "read=5\n",
                        "fault read path=INI errno=5"},
        SystemFaultCase{"Flock",
                        "fault flock path=INI errno=ENOLCK",
                        {"file", "INI"},
                        "flock=37\n",
                        "fault flock path=INI errno=37"},
        SystemFaultCase{"LeakReported", "", {"leak", "INI"}, "leak=1\n", "leak fd=# path=INI"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SimPreload, UntouchedFilesReadNormally) {
  tSimRun run;
  const std::string settings = run.writeFile("tqvlkae.ini", "[PortSetting]\n");
  SimResult r = client(run, "fault read path=/elsewhere errno=EIO\n", {"file", settings});
  EXPECT_EQ(r.out, "read=[PortSetting]\n\n");
  EXPECT_TRUE(r.log.empty());
}

TEST(SimPreload, IoctlOnOtherDescriptorsPassesThrough) {
  tSimRun run;
  SimResult r = client(run, kTwoDevices, {"pipe"});
  EXPECT_EQ(r.out, "pending=3\n");
  EXPECT_TRUE(r.log.empty());
}

// A mistake in the bench or the environment stops the program before it
// runs, with exit status 125, and leaves nothing under TQSIM_DIR.
TEST(SimPreload, MistakesStopTheRunAndLeaveNoTree) {
  struct Case {
    const char* bench;
    std::vector<std::pair<std::string, std::string>> env;  // @ stands for the run's directory
    const char* err;                                       // likewise
  } cases[] = {
      {"device d serial=1\nwidget x\n", {}, "tqsim: bench line 2: unknown line kind 'widget'\n"},
      {"", {{"TQSIM_BENCH", "@"}}, "tqsim: cannot read bench file @: Is a directory\n"},
      {"",
       {{"TQSIM_BENCH", ""}},
       "tqsim: TQSIM_BENCH is set but empty; name a bench file or unset it\n"},
      // Stopped after the tree was built.
      {kTwoDevices,
       {{"TQSIM_LOG", "@/missing/log"}},
       "tqsim: cannot open the log @/missing/log: No such file or directory\n"},
      // A state file is named relative to the bench's directory.
      {"state missing/values\n",
       {},
       "tqsim: cannot lock the state file @/missing/values.lock: No such file or directory\n"},
  };
  for (const Case& c : cases) {
    tSimRun run;
    auto at = [&run](std::string text) {
      for (auto p = text.find('@'); p != std::string::npos; p = text.find('@'))
        text.replace(p, 1, run.dir());
      return text;
    };
    const std::string trees = run.dir() + "/trees";
    ASSERT_EQ(::mkdir(trees.c_str(), 0755), 0);
    SimOptions options;
    options.program = TQ_SIM_CLIENT;
    options.env = {{"TQSIM_DIR", trees}};
    for (const auto& [key, value] : c.env) options.env.emplace_back(key, at(value));
    SimResult r = run.run(c.bench, {"list"}, options);
    EXPECT_EQ(r.exitStatus, 125) << c.err;
    EXPECT_EQ(r.err, at(c.err));
    EXPECT_EQ(r.out, "") << c.err;
    DIR* dir = ::opendir(trees.c_str());
    ASSERT_NE(dir, nullptr);
    std::vector<std::string> left;
    while (const dirent* entry = ::readdir(dir)) {
      if (std::string(entry->d_name) != "." && std::string(entry->d_name) != "..")
        left.push_back(entry->d_name);
    }
    ::closedir(dir);
    EXPECT_TRUE(left.empty()) << c.err << left.front();
  }
}

// Without a state line every program finds the values of the bench alone;
// with one, programs share them, also two at once: each of two writers
// stores a value on every port of one property, and none is lost.
TEST(SimPreload, AStateLineKeepsValuesAcrossProgramsRunningAtOnce) {
  tSimRun run;
  std::string bench = "device d serial=1 ports=40 pid=2\ninterface d ae_ae\\0 node=/dev/tqae0\n";
  const std::vector<std::string> getPort0 = {"get", "/dev/tqae0", "0", "0x13fff7", "4"};
  EXPECT_EQ(client(run, bench, {"set", "/dev/tqae0", "0", "0x13fff7", "05000000"}).exitStatus, 0);
  EXPECT_EQ(client(run, bench, getPort0).out, "size=4 status=0:0: value=00000000\n");

  bench += "state values\n";
  std::string writers, reads, expected;
  for (const char* prop : {"0x13fff7", "0x13fffd"}) {
    writers += TQ_SIM_CLIENT;
    for (int port = 0; port < 40; ++port) {
      char value[16];
      std::snprintf(value, sizeof value, "%02x%s0000", port + 1, prop[7] == '7' ? "00" : "ff");
      writers += std::string(" set /dev/tqae0 ") + std::to_string(port) + " " + prop + " " + value;
      expected += std::string("size=4 status=0:0: value=") + value + "\n";
      reads += std::string(" get /dev/tqae0 ") + std::to_string(port) + " " + prop + " 4";
    }
    writers += " >/dev/null & ";
  }
  SimOptions both;
  both.program = "/bin/sh";
  SimResult r = run.run(bench, {"-c", writers + "wait"}, both);
  ASSERT_EQ(r.exitStatus, 0) << r.err;
  std::vector<std::string> args;
  std::istringstream words(reads);
  for (std::string w; words >> w;) args.push_back(w);
  EXPECT_EQ(client(run, bench, args).out, expected);
  EXPECT_EQ(client(run, bench, getPort0).out, "size=4 status=0:0: value=01000000\n");
}

TEST(SimPreload, HungProgramIsStoppedAtTheTimeout) {
  tSimRun run;
  SimOptions options;
  options.program = "/bin/sleep";
  options.timeoutSeconds = 1;
  SimResult r = run.run("", {"30"}, options);
  EXPECT_TRUE(r.timedOut);
  EXPECT_EQ(r.exitStatus, 128 + 9);
}

}  // namespace
