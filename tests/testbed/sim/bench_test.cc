// SPDX-License-Identifier: MIT
#include "sim/bench.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "tests/support/files.h"
#include "tests/support/tSimRun.h"

namespace {

using tqsim::Bench;

TEST(SimBench, ParsesEveryLineKind) {
  Bench b;
  std::string error;
  ASSERT_TRUE(
      tqsim::parseBench("# a bench\n"
                        "device dev0 serial=0x1A5 ports=4 pid=77  # trailing comment\n"
                        "property dev0 Extra hex=00ff\n"
                        "interface dev0 ae_ae\\0 node=/dev/tqae0 forbidden\n"
                        "interface dev0 ae_ae\\1 node=/dev/tqae1 texthex=2f7820\n"
                        "size 0x13fff7 2\n"
                        "value dev0 hex=e803 prop=0x13fff7 port=3\n"
                        "fault ioctl dev=dev0 port=3 prop=0x13fff7 status=5:6:f.c\n"
                        "fault flock path=/x/y errno=ENOLCK from=2 times=1\n"
                        "fault open path=/x/z errno=EMFILE\n",
                        b, error))
      << error;
  ASSERT_EQ(b.devices.size(), 1u);
  EXPECT_EQ(b.devices[0].serial, 0x1A5u);
  EXPECT_EQ(b.devices[0].numPorts, 4u);
  EXPECT_EQ(b.devices[0].overrides[0].bytes, std::string("\0\xff", 2));
  ASSERT_EQ(b.interfaces.size(), 2u);
  EXPECT_EQ(b.interfaces[0].dir, "ae_ae\\0");
  EXPECT_EQ(b.interfaces[0].text, "/dev/tqae0");  // the node unless given
  EXPECT_EQ(b.interfaces[0].state, tqsim::NodeState::forbidden);
  EXPECT_EQ(b.interfaces[1].text, "/x ");
  EXPECT_EQ(b.sizes.at(0x13FFF7), 2u);
  EXPECT_EQ(b.sizes.at(0x0210FEEA), 1u);  // defaults stay for the rest
  EXPECT_EQ(b.values.at(std::make_tuple("dev0", 3u, 0x13FFF7u)), "\xe8\x03");
  ASSERT_EQ(b.faults.size(), 3u);
  EXPECT_EQ(b.faults[0].effect, tqsim::FaultEffect::status);
  EXPECT_EQ(b.faults[0].code, 5);
  EXPECT_EQ(b.faults[0].file, "f.c");
  EXPECT_EQ(b.faults[1].error, ENOLCK);
  EXPECT_EQ(b.faults[1].from, 2u);
  EXPECT_EQ(b.faults[2].kind, tqsim::FaultKind::open);
  EXPECT_EQ(b.faults[2].error, EMFILE);
}

TEST(SimBench, RejectsMalformedLinesNamingThem) {
  struct Case {
    const char* text;
    const char* error;
  } cases[] = {
      {"device d serial=zz", "bench line 1: bad device word 'serial=zz'"},
      {"device d\ndevice d", "bench line 2: device 'd' declared twice"},
      {"device d ports=0x100000000", "bench line 1: bad device word 'ports=0x100000000'"},
      {"interface nodev ae_ae\\0 node=/dev/x",
       "bench line 1: interface needs a declared device and a directory name"},
      {"device d\ninterface d ae_ae\\0", "bench line 2: interface needs node=<path>"},
      {"device d\nproperty d PID hex=abc", "bench line 2: bad property content 'hex=abc'"},
      {"device d\nproperty d PID hex=zz", "bench line 2: bad property content 'hex=zz'"},
      {"size 0x13fff7", "bench line 1: size needs a property id and a byte count"},
      {"device d\nvalue d port=1 port=2 hex=00",
       "bench line 2: value needs a declared device, port=<n>, prop=<id> and hex=<bytes>"},
      {"value d port=1 prop=2 hex=00",
       "bench line 1: value needs a declared device, port=<n>, prop=<id> and hex=<bytes>"},
      {"fault ioctl seq=1",
       "bench line 1: ioctl fault needs exactly one of errno=, status= and discard"},
      {"fault ioctl errno=EIO status=1:2:f",
       "bench line 1: ioctl fault needs exactly one of errno=, status= and discard"},
      {"fault ioctl status=1:2:f discard",
       "bench line 1: ioctl fault needs exactly one of errno=, status= and discard"},
      {"fault ioctl discard=1", "bench line 1: bad fault word 'discard=1'"},
      {"fault read path=/x discard", "bench line 1: fault read takes no word 'discard'"},
      {"state", "bench line 1: state needs one file name, once"},
      {"state a\nstate b", "bench line 2: state needs one file name, once"},
      {"state a b", "bench line 1: state needs one file name, once"},
      {"fault ioctl status=1:f", "bench line 1: bad fault word 'status=1:f'"},
      {"fault ioctl status=1:2:abcdefghijklmnopqrstuvwxyz",
       "bench line 1: bad fault word 'status=1:2:abcdefghijklmnopqrstuvwxyz'"},
      {"fault ioctl errno=EWHAT", "bench line 1: bad fault word 'errno=EWHAT'"},
      {"fault glob", "bench line 1: glob fault needs result=aborted|nospace"},
      {"fault read errno=EIO", "bench line 1: fault needs path= and errno="},
      {"fault open path=/x/y", "bench line 1: fault needs path= and errno="},
      {"fault teleport", "bench line 1: unknown fault kind 'teleport'"},
      // A fault on a device that is not there would never fire.
      {"device d\nfault ioctl dev=tq9 errno=EIO",
       "bench line 2: fault names device 'tq9', which no device line declared before it"},
      {"fault ioctl dev=d errno=EIO\ndevice d",
       "bench line 1: fault names device 'd', which no device line declared before it"},
      // The name forgotten: the first word would become a directory.
      {"device serial=1 ports=1 pid=1",
       "bench line 1: device needs a directory name before its words, not 'serial=1'"},
      // Words of another kind of line are not silently ignored.
      {"fault ioctl path=/x errno=EIO", "bench line 1: fault ioctl takes no word 'path=/x'"},
      {"fault glob result=aborted errno=EIO", "bench line 1: fault glob takes no word 'errno=EIO'"},
      {"fault fread path=/x errno=EIO", "bench line 1: fault fread takes no word 'errno=EIO'"},
      {"fault flock path=/x errno=EIO port=1", "bench line 1: fault flock takes no word 'port=1'"},
  };
  for (const auto& c : cases) {
    Bench b;
    std::string error;
    EXPECT_FALSE(tqsim::parseBench(c.text, b, error)) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
  }
}

TEST(SimBench, BuildsTheDriverTree) {
  tqtest::tSimRun scratch;
  Bench b;
  std::string error;
  ASSERT_TRUE(
      tqsim::parseBench("device d serial=0x01020304 ports=2 pid=9\n"
                        "property d NumPorts hex=0200\n"
                        "property d PID dir\n"
                        "interface d ae_ae\\0 node=/dev/tqae0\n",
                        b, error));
  const std::string root = scratch.dir() + "/tree";
  ASSERT_TRUE(tqsim::buildTree(b, root, error)) << error;
  const std::string dev = root + "/tq/d";
  EXPECT_EQ(tqtest::readFile(dev + "/deviceProperties/SerialNum"), "\x04\x03\x02\x01");
  EXPECT_EQ(tqtest::readFile(dev + "/deviceProperties/NumPorts"), std::string("\x02\0", 2));
  struct stat st;
  ASSERT_EQ(stat((dev + "/deviceProperties/PID").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(tqtest::readFile(dev + "/deviceInterfaces/ae_ae\\0/interfacePath"), "/dev/tqae0");
  // The tree cannot be built where its root cannot be made.
  EXPECT_FALSE(tqsim::buildTree(b, scratch.dir() + "/missing/parent", error));
  EXPECT_NE(error.find("cannot build the driver tree"), std::string::npos);
}

}  // namespace
