// SPDX-License-Identifier: MIT
// findInterfacePath under the simulated driver, through a small program that
// calls it for each serial number it is given.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/support/tSimRun.h"

namespace {

using tqtest::SimOptions;
using tqtest::SimResult;
using tqtest::tSimRun;

const char kHelperFile[] = "tqapal/protons/enumeration/linuxU/linuxDevEnumHelper";

// Devices a, b, c with serials 1, 2, 3, one AE interface each.
const char kThreeDevices[] =
    "device a serial=1 ports=1 pid=1\n"
    "interface a ae_ae\\0 node=/dev/a\n"
    "device b serial=2 ports=1 pid=1\n"
    "interface b ae_ae\\0 node=/dev/b\n"
    "device c serial=3 ports=1 pid=1\n"
    "interface c ae_ae\\0 node=/dev/c\n";

std::string serialUnreadable(const char* device) {
  return std::string("fault fopen path=/proc/driver/tq/") + device +
         "/deviceProperties/SerialNum errno=EIO\n";
}

std::string helperError(long code, unsigned line) {
  return "Error (" + std::to_string(code) + "): {\"file\":\"" + kHelperFile +
         "\",\"line\":" + std::to_string(line) + ",\"component\":\"tqvlkaepr\"}\n";
}

struct LookupCase {
  const char* name;
  std::string bench;
  std::vector<std::string> serials;
  std::string out;
  std::string err;  // empty: every lookup succeeds
};

void PrintTo(const LookupCase& c, std::ostream* out) {
  *out << c.name;
}

class FindInterfacePath : public ::testing::TestWithParam<LookupCase> {};

TEST_P(FindInterfacePath, AnswersFromAFreshEnumeration) {
  const LookupCase& c = GetParam();
  tSimRun run;
  SimOptions options;
  options.program = TQ_DEVICE_PROBE;
  std::vector<std::string> args;
  for (const std::string& serial : c.serials) {
    args.push_back("find");
    args.push_back(serial);
  }
  const SimResult result = run.run(c.bench, args, options);
  EXPECT_EQ(result.exitStatus, c.err.empty() ? 0 : 1) << result.err;
  EXPECT_EQ(result.out, c.out);
  EXPECT_EQ(result.err, c.err);
  // A lookup opens no device node; a failed read is the only thing logged.
  for (const std::string& line : result.log) {
    EXPECT_EQ(line.compare(0, 6, "fault "), 0) << line;
  }
}

const std::string kLongNode = "/dev/" + std::string(250, 'n');  // 255 bytes

INSTANTIATE_TEST_SUITE_P(
    Lookup, FindInterfacePath,
    ::testing::Values(LookupCase{"NoInterfacesIsEmpty", "", {"1"}, "[]\n", ""},
                      LookupCase{"UnknownSerialIsEmpty", kThreeDevices, {"9", "0"}, "[]\n[]\n", ""},
                      LookupCase{"WholeSerialIsCompared",
                                 "device a serial=0x80000102 ports=1 pid=1\n"
                                 "interface a ae_ae\\0 node=/dev/a\n",
                                 {"0x102", "2", "0x80000102"},
                                 "[]\n[]\n[/dev/a]\n",
                                 ""},
                      LookupCase{"EveryDeviceIsFound",
                                 kThreeDevices,
                                 {"3", "1", "2"},
                                 "[/dev/c]\n[/dev/a]\n[/dev/b]\n",
                                 ""},
                      // The search stops at the match: a device after it is never read...
                      LookupCase{"DevicesAfterTheMatchAreNotRead",
                                 kThreeDevices + serialUnreadable("c"),
                                 {"2"},
                                 "[/dev/b]\n",
                                 ""},
                      // ...but every device before it is.
                      LookupCase{"DevicesBeforeTheMatchAreRead",
                                 kThreeDevices + serialUnreadable("a"),
                                 {"2"},
                                 "",
                                 helperError(-52006, 87)},
                      LookupCase{"FirstOfTwoEqualSerialsInByteOrder",
                                 "device z serial=5 ports=1 pid=1\n"
                                 "interface z ae_ae\\0 node=/dev/z\n"
                                 "device y serial=5 ports=1 pid=1\n"
                                 "interface y ae_ae\\1 node=/dev/y1\n"
                                 "interface y ae_ae\\0 node=/dev/y0\n",
                                 {"5"},
                                 "[/dev/y0]\n",
                                 ""},
                      LookupCase{"LongestPathIsReturnedWhole",
                                 "device a serial=1 ports=1 pid=1\n"
                                 "interface a ae_ae\\0 node=/dev/a text=" +
                                     kLongNode + "\n",
                                 {"1"},
                                 "[" + kLongNode + "]\n",
                                 ""},
                      // Only the matched interface's path is read.
                      LookupCase{"OverlongPathOfTheMatchFails",
                                 "device a serial=1 ports=1 pid=1\n"
                                 "interface a ae_ae\\0 node=/dev/a text=" +
                                     kLongNode + "x\n" +
                                     "device b serial=2 ports=1 pid=1\n"
                                     "interface b ae_ae\\0 node=/dev/b\n",
                                 {"2", "1"},
                                 "[/dev/b]\n",
                                 helperError(-52019, 72)},
                      // Nothing is remembered between calls: the second one searches again.
                      LookupCase{
                          "EachCallSearchesAgain",
                          kThreeDevices + std::string("fault glob result=aborted from=2\n"),
                          {"2", "2"},
                          "[/dev/b]\n",
                          "Error (-52003): {\"file\":\"tqapal/protons/enumeration/linuxU/"
                          "tDeviceInterfaceIterator\",\"line\":44,\"component\":\"tqvlkaepr\"}\n"}),
    [](const ::testing::TestParamInfo<LookupCase>& info) { return std::string(info.param.name); });

}  // namespace

// What a checker asks of the driver: planning an entry opens the device and
// makes the size query, reading a value makes the size query and a read;
// neither sends a write (0x200109).
TEST(PlanAndRead, AskTheDriverAndWriteNothing) {
  const std::string get = "ioctl dev=tq0 req=0x20010a in=64 out=36 port=";
  struct Case {
    const char* command;
    const char* argument;
    std::string out;
    std::vector<std::string> log;
  } cases[] = {
      {"plan",
       "1a5_0_linkspeed=\"10\"",
       "plan step=8 path=[/dev/tqae0] size=4 bytes=0a000000\n",
       {"open dev=tq0 node=/dev/tqae0",
        get + "0 sel=0xffffffff prop=0x0013fff7 bufsize=0 value=- status=0:0:", "close dev=tq0"}},
      {"plan",
       "1a5_1_forcelinkdisable=10",
       "plan step=6 path=[/dev/tqae0] size=1 bytes=\n",
       {"open dev=tq0 node=/dev/tqae0",
        get + "1 sel=0xffffffff prop=0x0210feea bufsize=0 value=- status=0:0:", "close dev=tq0"}},
      {"plan", "3c9_0_linkspeed=1", "plan step=7 path=[] size=0 bytes=\n", {}},
      {"plan", "1a5_0_linkspeedx=1", "plan step=1 path=[] size=0 bytes=\n", {}},
      {"read",
       "/dev/tqae0:1:0x13fff7",
       "read value=00000000\n",
       {"open dev=tq0 node=/dev/tqae0",
        get + "1 sel=0xffffffff prop=0x0013fff7 bufsize=0 value=- status=0:0:",
        get + "1 sel=0xffffffff prop=0x0013fff7 bufsize=4 value=- status=0:0:", "close dev=tq0"}},
  };
  for (const Case& c : cases) {
    tSimRun run;
    SimOptions options;
    options.program = TQ_DEVICE_PROBE;
    const SimResult result = run.run(tqtest::kTwoDeviceBench, {c.command, c.argument}, options);
    EXPECT_EQ(result.exitStatus, 0) << c.argument << ": " << result.err;
    EXPECT_EQ(result.out, c.out) << c.argument;
    EXPECT_EQ(result.log, c.log) << c.argument;
  }
}
