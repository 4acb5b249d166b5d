// SPDX-License-Identifier: MIT
// The closing port pass of the restore mode, run through the real tool
// ("tqvlkaepropinit -r") under the simulated driver. No settings file exists,
// so the pass is all the driver hears; the shared state directory is moved
// into the run's own directory so that the host's is never looked at.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/reloc/relocation_dir.h"
#include "tests/support/tSimRun.h"

namespace {

using tqtest::SimOptions;
using tqtest::SimResult;
using tqtest::tSimRun;

SimResult restore(const tSimRun& run, const std::string& bench) {
  SimOptions options;
  options.env = {{"LD_LIBRARY_PATH", tqtest::makeRelocationDir(
                                         run.dir(), {{"sharedstatedir", run.dir() + "/state"}})}};
  return run.run(bench, {"-r"}, options);
}

// The log line of the pass's write to one port: forcelinkdisable, one byte
// 0, every selector, a clean status block in the request.
std::string cleared(const std::string& device, unsigned port) {
  return "ioctl dev=" + device + " req=0x200109 in=64 out=32 port=" + std::to_string(port) +
         " sel=0xffffffff prop=0x0210feea bufsize=1 value=00 status=0:0:";
}

std::string opened(const std::string& device, const std::string& node) {
  return "open dev=" + device + " node=" + node;
}

std::string closed(const std::string& device) {
  return "close dev=" + device;
}

std::string driverError(long code, const std::string& file, unsigned line,
                        const std::string& component) {
  return "Error (" + std::to_string(code) + "): {\"file\":\"" + file +
         "\",\"line\":" + std::to_string(line) + ",\"component\":\"" + component + "\"}\n";
}

const char kProxyFile[] = "tqapal/protons/driver/linuxU/tDeviceInterfaceProxy";

struct PassCase {
  const char* name;
  std::string bench;
  std::vector<std::string> log;
  std::string err;  // empty: the run succeeds
};

void PrintTo(const PassCase& c, std::ostream* out) {
  *out << c.name;
}

class PortPass : public ::testing::TestWithParam<PassCase> {};

TEST_P(PortPass, WritesAndStopsAsTheDriverAnswers) {
  const PassCase& c = GetParam();
  tSimRun run;
  const SimResult result = restore(run, c.bench);
  EXPECT_FALSE(result.timedOut);
  EXPECT_EQ(result.exitStatus, c.err.empty() ? 0 : 1) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, c.err);
  EXPECT_EQ(result.log, c.log);
}

const char kTwoDevices[] =
    "device tqb serial=0xb ports=2 pid=1\n"
    "interface tqb ae_ae\\0 node=/dev/tqb0\n"
    "device tqa serial=0xa ports=3 pid=1\n"
    "interface tqa can_can\\0 node=/dev/tqcan\n"
    "interface tqa ae_ae\\0 node=/dev/tqa0\n";

// Devices a, b, c with 2, 3 and 1 ports.
const char kThreeDevices[] =
    "device a serial=1 ports=2 pid=1\n"
    "interface a ae_ae\\0 node=/dev/a\n"
    "device b serial=2 ports=3 pid=1\n"
    "interface b ae_ae\\0 node=/dev/b\n"
    "device c serial=3 ports=1 pid=1\n"
    "interface c ae_ae\\0 node=/dev/c\n";

const std::vector<std::string> kDeviceAWritten = {opened("a", "/dev/a"), cleared("a", 0),
                                                  cleared("a", 1), closed("a")};

std::vector<std::string> join(std::vector<std::string> first,
                              const std::vector<std::string>& then) {
  first.insert(first.end(), then.begin(), then.end());
  return first;
}

INSTANTIATE_TEST_SUITE_P(
    Restore, PortPass,
    ::testing::Values(
        PassCase{"NoDevicesSendsNothing", "", {}, ""},
        PassCase{"DevicesInEnumerationOrderPortsAscending",
                 kTwoDevices,
                 {opened("tqa", "/dev/tqa0"), cleared("tqa", 0), cleared("tqa", 1),
                  cleared("tqa", 2), closed("tqa"), opened("tqb", "/dev/tqb0"), cleared("tqb", 0),
                  cleared("tqb", 1), closed("tqb")},
                 ""},
        PassCase{"NoPortsOpensAndClosesOnly",
                 "device d serial=5 ports=0 pid=1\n"
                 "interface d ae_ae\\0 node=/dev/d\n",
                 {opened("d", "/dev/d"), closed("d")},
                 ""},
        // Both interfaces of one device report its serial number: both
        // passes go through the node found first for it.
        PassCase{"SharedSerialIsServedThroughTheFirstInterface",
                 "device d serial=7 ports=2 pid=1\n"
                 "interface d ae_ae\\1 node=/dev/d1\n"
                 "interface d ae_ae\\0 node=/dev/d0\n",
                 {opened("d", "/dev/d0"), cleared("d", 0), cleared("d", 1), closed("d"),
                  opened("d", "/dev/d0"), cleared("d", 0), cleared("d", 1), closed("d")},
                 ""},
        // Two devices with one serial number: the second entry's port count
        // is used on the first device's node.
        PassCase{"DuplicateSerialUsesEachEntrysPortCount",
                 "device d1 serial=7 ports=3 pid=1\n"
                 "interface d1 ae_ae\\0 node=/dev/d1\n"
                 "device d2 serial=7 ports=1 pid=1\n"
                 "interface d2 ae_ae\\0 node=/dev/d2\n",
                 {opened("d1", "/dev/d1"), cleared("d1", 0), cleared("d1", 1), cleared("d1", 2),
                  closed("d1"), opened("d1", "/dev/d1"), cleared("d1", 0), closed("d1")},
                 ""},
        PassCase{"DuplicateSerialWithMorePortsThanTheFirstDevice",
                 "device d1 serial=7 ports=1 pid=1\n"
                 "interface d1 ae_ae\\0 node=/dev/d1\n"
                 "device d2 serial=7 ports=2 pid=1\n"
                 "interface d2 ae_ae\\0 node=/dev/d2\n",
                 {opened("d1", "/dev/d1"), cleared("d1", 0), closed("d1"), opened("d1", "/dev/d1"),
                  cleared("d1", 0), cleared("d1", 1), closed("d1")},
                 driverError(-52005, "tqsim_driver", 1, "tqvlkae")},
        PassCase{"WarningIsDroppedAndThePassGoesOn",
                 std::string(kThreeDevices) +
                     "fault ioctl dev=b port=1 prop=0x0210FEEA status=12:301:warn.c\n",
                 join(kDeviceAWritten,
                      {opened("b", "/dev/b"), cleared("b", 0), cleared("b", 1),
                       "fault ioctl seq=4 dev=b status=12:301:warn.c", cleared("b", 2), closed("b"),
                       opened("c", "/dev/c"), cleared("c", 0), closed("c")}),
                 ""},
        PassCase{
            "DriverErrorOnPortKEndsThePass",
            std::string(kThreeDevices) +
                "fault ioctl dev=b port=1 prop=0x0210FEEA status=-52100:477:ae_port_request.c\n",
            join(kDeviceAWritten,
                 {opened("b", "/dev/b"), cleared("b", 0), cleared("b", 1),
                  "fault ioctl seq=4 dev=b status=-52100:477:ae_port_request.c", closed("b")}),
            driverError(-52100, "ae_port_request.c", 477, "tqvlkae")},
        PassCase{"RefusedRequestIsNotSupported",
                 std::string(kThreeDevices) + "fault ioctl seq=4 errno=ENOTTY\n",
                 join(kDeviceAWritten, {opened("b", "/dev/b"), cleared("b", 0), cleared("b", 1),
                                        "fault ioctl seq=4 dev=b errno=25", closed("b")}),
                 driverError(-52002, "tDeviceInterfaceProxy", 85, "tqvlkae")},
        PassCase{"ErrnoBeyondTheTableIsAnOsFault",
                 std::string(kThreeDevices) + "fault ioctl seq=1 errno=200\n",
                 {opened("a", "/dev/a"), cleared("a", 0), "fault ioctl seq=1 dev=a errno=200",
                  closed("a")},
                 driverError(-52008, "tDeviceInterfaceProxy", 85, "tqvlkae")},
        PassCase{"MissingNodeIsNotFound",
                 "device a serial=1 ports=2 pid=1\n"
                 "interface a ae_ae\\0 node=/dev/a\n"
                 "device b serial=2 ports=3 pid=1\n"
                 "interface b ae_ae\\0 node=/dev/b missing\n"
                 "device c serial=3 ports=1 pid=1\n"
                 "interface c ae_ae\\0 node=/dev/c\n",
                 kDeviceAWritten, driverError(-52006, kProxyFile, 46, "tqvlkaepr")},
        PassCase{"ForbiddenNodeIsAccessDenied",
                 "device a serial=1 ports=2 pid=1\n"
                 "interface a ae_ae\\0 node=/dev/a forbidden\n",
                 {},
                 driverError(-52026, kProxyFile, 46, "tqvlkaepr")},
        PassCase{"FailedSearchTouchesNoDevice",
                 std::string(kThreeDevices) + "fault glob result=nospace\n",
                 {"fault glob pattern=/proc/driver/tq/*/deviceInterfaces/ae_ae\\\\* "
                  "result=GLOB_NOSPACE"},
                 driverError(-52003, "tqapal/protons/enumeration/linuxU/tDeviceInterfaceIterator",
                             44, "tqvlkaepr")},
        PassCase{"UnreadablePortCountKeepsEarlierDevicesWritten",
                 std::string(kThreeDevices) + "property b NumPorts hex=0102030405\n",
                 kDeviceAWritten,
                 driverError(-52019, "tqapal/protons/enumeration/linuxU/linuxDevEnumHelper", 72,
                             "tqvlkaepr")}),
    [](const ::testing::TestParamInfo<PassCase>& info) { return std::string(info.param.name); });

}  // namespace
