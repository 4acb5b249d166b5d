// SPDX-License-Identifier: MIT
// Listing mode of the real tool, run under the simulated driver.
#include <ostream>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "app/listing.h"
#include "tests/support/tSimRun.h"

namespace {

using tqtest::SimResult;
using tqtest::tSimRun;

TEST(Listing, Benches) {
  const std::string path255 = "/dev/" + std::string(250, 'n');
  struct Case {
    const char* name;
    std::string bench;
    std::string out;
  } cases[] = {
      {"no devices", "", ""},
      {"one device",
       "device tq0 serial=0x1a5 ports=2 pid=0x7c5\n"
       "interface tq0 ae_ae\\0 node=/dev/tqae0\n",
       "1a5 /dev/tqae0 2 7c5\n"},
      {"order is byte order of the full paths, other kinds are not listed",
       "device tqb serial=0xBEEF ports=16 pid=0\n"
       "interface tqb ae_ae\\1 node=/dev/b1\n"
       "interface tqb ae_ae\\0 node=/dev/b0\n"
       "interface tqb can_can\\0 node=/dev/c0\n"
       "device tqa serial=0 ports=0 pid=0xffffffff\n"
       "interface tqa ae_ae\\9 node=/dev/a9\n",
       "0 /dev/a9 0 ffffffff\n"
       "beef /dev/b0 10 0\n"
       "beef /dev/b1 10 0\n"},
      {"a 255-byte path is printed whole",
       "device d serial=1 ports=1 pid=1\n"
       "interface d ae_ae\\0 node=/dev/x text=" +
           path255 + "\n",
       "1 " + path255 + " 1 1\n"},
      {"a property file shorter than 4 bytes fills only its own bytes",
       "device d serial=1 ports=1 pid=1\n"
       "property d SerialNum hex=a501\n"
       "interface d ae_ae\\0 node=/dev/x\n",
       "1a5 /dev/x 1 1\n"},
      {"the path text is taken as it stands, newline and all",
       "device d serial=2 ports=3 pid=4\n"
       "interface d ae_ae\\0 node=/dev/x texthex=2f6465762f790a\n",
       "2 /dev/y\n 3 4\n"},
  };
  for (const Case& c : cases) {
    tSimRun run;
    const SimResult result = run.run(c.bench, {});
    EXPECT_EQ(result.exitStatus, 0) << c.name << "\n" << result.err;
    EXPECT_EQ(result.out, c.out) << c.name;
    EXPECT_EQ(result.err, "") << c.name;
    // Listing opens no device and sends nothing.
    EXPECT_TRUE(result.log.empty()) << c.name << ": " << result.log.front();
  }
}

TEST(Listing, FailuresEndWithOneErrorLine) {
  const std::string path256 = "/dev/" + std::string(251, 'n');
  struct Case {
    const char* name;
    std::string bench;
    std::string out;
    std::string err;
  } cases[] = {
      {"a 256-byte path",
       "device d serial=1 ports=1 pid=1\n"
       "interface d ae_ae\\0 node=/dev/x text=" +
           path256 + "\n",
       "",
       "Error (-52019): {\"file\":\"tqapal/protons/enumeration/linuxU/linuxDevEnumHelper\","
       "\"line\":72,\"component\":\"tqvlkaepr\"}\n"},
      {"a 5-byte property file",
       "device d serial=1 ports=1 pid=1\n"
       "property d NumPorts hex=0102030405\n"
       "interface d ae_ae\\0 node=/dev/x\n",
       "",
       "Error (-52019): {\"file\":\"tqapal/protons/enumeration/linuxU/linuxDevEnumHelper\","
       "\"line\":72,\"component\":\"tqvlkaepr\"}\n"},
      {"a property that cannot be read, after the lines before it",
       "device a serial=1 ports=1 pid=1\n"
       "interface a ae_ae\\0 node=/dev/a\n"
       "device b serial=2 ports=1 pid=1\n"
       "property b PID dir\n"
       "interface b ae_ae\\0 node=/dev/b\n",
       "1 /dev/a 1 1\n",
       "Error (-52024): {\"file\":\"tqapal/protons/enumeration/linuxU/linuxDevEnumHelper\","
       "\"line\":78,\"component\":\"tqvlkaepr\"}\n"},
      {"the search fails",
       "device d serial=1 ports=1 pid=1\n"
       "interface d ae_ae\\0 node=/dev/x\n"
       "fault glob result=aborted\n",
       "",
       "Error (-52003): {\"file\":\"tqapal/protons/enumeration/linuxU/tDeviceInterfaceIterator\","
       "\"line\":44,\"component\":\"tqvlkaepr\"}\n"},
      {"the search runs out of memory",
       "device d serial=1 ports=1 pid=1\n"
       "interface d ae_ae\\0 node=/dev/x\n"
       "fault glob result=nospace\n",
       "",
       "Error (-52003): {\"file\":\"tqapal/protons/enumeration/linuxU/tDeviceInterfaceIterator\","
       "\"line\":44,\"component\":\"tqvlkaepr\"}\n"},
      {"a property file that fails while it is read, after the lines before it",
       "device a serial=1 ports=1 pid=1\n"
       "interface a ae_ae\\0 node=/dev/a\n"
       "device b serial=2 ports=1 pid=1\n"
       "interface b ae_ae\\0 node=/dev/b\n"
       "fault fread path=/proc/driver/tq/b/deviceProperties/NumPorts\n",
       "1 /dev/a 1 1\n",
       "Error (-52024): {\"file\":\"tqapal/protons/enumeration/linuxU/linuxDevEnumHelper\","
       "\"line\":78,\"component\":\"tqvlkaepr\"}\n"},
      {"a property file that cannot be opened",
       "device d serial=1 ports=1 pid=1\n"
       "interface d ae_ae\\0 node=/dev/x\n"
       "fault fopen path=/proc/driver/tq/d/deviceProperties/SerialNum errno=EACCES\n",
       "",
       "Error (-52006): {\"file\":\"tqapal/protons/enumeration/linuxU/linuxDevEnumHelper\","
       "\"line\":87,\"component\":\"tqvlkaepr\"}\n"},
  };
  for (const Case& c : cases) {
    tSimRun run;
    const SimResult result = run.run(c.bench, {});
    EXPECT_EQ(result.exitStatus, 1) << c.name;
    EXPECT_EQ(result.out, c.out) << c.name;
    EXPECT_EQ(result.err, c.err) << c.name;
    EXPECT_TRUE(result.logStartingWith("leak").empty()) << c.name;
  }
}

// A listing that standard output refuses has failed: one report line, exit
// status 1. With nothing to list, nothing was lost.
TEST(Listing, OutputThatCannotBeWritten) {
  struct Case {
    const char* bench;
    int exitStatus;
    std::string err;
  } cases[] = {
      {"device d serial=1 ports=1 pid=2\ninterface d ae_ae\\0 node=/dev/x\n", 1,
       "Error (-52012): {\"file\":\"app/listing\",\"line\":41,\"component\":\"tqvlkaepr\"}\n"},
      {"", 0, ""},
  };
  for (const Case& c : cases) {
    tSimRun run;
    tqtest::SimOptions options;
    options.stdoutPath = "/dev/full";
    const SimResult result = run.run(c.bench, {}, options);
    EXPECT_EQ(result.exitStatus, c.exitStatus) << c.bench;
    EXPECT_EQ(result.err, c.err) << c.bench;
  }
}

// The listing run from a destructor while another exception unwinds, into a
// stream that cannot be written: the failure cannot be thrown then, and the
// listing returns (it once retried the failed stream until the stack ran out).
TEST(Listing, OutputThatCannotBeWrittenWhileUnwinding) {
  struct ListsOnDestruction {
    std::ostream& out;
    ~ListsOnDestruction() { nTQVLKAET100::listInterfaces(out); }
  };
  std::ostream unwritable(nullptr);
  EXPECT_THROW(
      {
        ListsOnDestruction lists{unwritable};
        throw std::runtime_error("in flight");
      },
      std::runtime_error);
}

// A driver file is tried ten times in a row before the read fails: nine
// failed opens are ridden out, the tenth ends the listing.
TEST(Listing, DriverFilesGetTenOpenAttempts) {
  const std::string bench =
      "device d serial=1 ports=1 pid=2\n"
      "interface d ae_ae\\0 node=/dev/x\n"
      "fault fopen path=/proc/driver/tq/d/deviceInterfaces/ae_ae\\0/interfacePath errno=EIO "
      "times=";
  struct Case {
    const char* failures;
    int exitStatus;
    std::string out;
    std::string err;
  } cases[] = {
      {"9", 0, "1 /dev/x 1 2\n", ""},
      {"10", 1, "",
       "Error (-52006): {\"file\":\"tqapal/protons/enumeration/linuxU/linuxDevEnumHelper\","
       "\"line\":87,\"component\":\"tqvlkaepr\"}\n"},
  };
  for (const Case& c : cases) {
    tSimRun run;
    const SimResult result = run.run(bench + c.failures + "\n", {});
    EXPECT_EQ(result.exitStatus, c.exitStatus) << c.failures;
    EXPECT_EQ(result.out, c.out) << c.failures;
    EXPECT_EQ(result.err, c.err) << c.failures;
    EXPECT_EQ(std::to_string(result.logStartingWith("fault fopen").size()), c.failures);
  }
}

}  // namespace
