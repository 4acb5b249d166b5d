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
