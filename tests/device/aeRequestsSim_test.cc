// SPDX-License-Identifier: MIT
// All 21 AE requests of tInterfaceProxy_ae sent through a real descriptor to
// the simulated driver, which decodes them with its own table of the records
// and answers with recognisable values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/tSimRun.h"

namespace {

using tqtest::SimOptions;
using tqtest::SimResult;
using tqtest::tSimRun;

const char kBench[] =
    "device d serial=1 ports=2 pid=1\n"
    "interface d ae_ae\\0 node=/dev/tqae\n";

SimResult sendAll(const tSimRun& run, const std::string& extraBench) {
  SimOptions options;
  options.program = TQ_DEVICE_PROBE;
  return run.run(kBench + extraBench, {"requests", "/dev/tqae"}, options);
}

std::string request(const std::string& code, const std::string& sizesAndFields) {
  return "ioctl dev=d req=0x" + code + " " + sizesAndFields + " status=0:0:";
}

TEST(AeRequestsUnderTheDriver, EveryRecordArrivesAsTheDriverReadsIt) {
  tSimRun run;
  const SimResult result = sendAll(run, "");
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  const std::string abcd = "a=0xa1 b=0xb2 c=0xc3 d=0xd4";
  const std::string valueEF = "a=0xa1 b=0xb2 c=0xc3000000c3 value=0x7700000077 e=0xe5 f=0xf6";
  const std::vector<std::string> expectedLog = {
      "open dev=d node=/dev/tqae",
      request("200101", "in=48 out=36 " + abcd),
      request("200102", "in=40 out=32 a=0xa1 b=0xb2"),
      request("200103", "in=56 out=32 a=0xa1 b=0xb2 c=0xc3000000c3 d=0xd4000000d4"),
      request("200104", "in=40 out=32 a=0xa1 b=0xb2"),
      request("200105", "in=40 out=32 a=0xa1 b=0xb2"),
      request("200106", "in=40 out=32 a=0xa1 b=0xb2"),
      request("200109",
              "in=64 out=32 port=1 sel=0xffffffff prop=0x0013fff7 bufsize=4 value=2a000000"),
      request("20010a", "in=64 out=36 port=1 sel=0xffffffff prop=0x0013fff7 bufsize=0 value=-"),
      request("20010b", "in=48 out=32 a=0xa1000000a1 b=0xb2"),
      request("20010c", "in=48 out=56 " + abcd),
      request("20010d", "in=48 out=32 " + abcd),
      request("20010e", "in=64 out=40 a=0xa1 b=0xb2 c=0xc3000000c3 value=0x7700000077 e=0xe5"),
      request("20010f", "in=48 out=32 " + abcd),
      request("200110", "in=48 out=32 " + abcd),
      request("200111", "in=56 out=32 a=0xa1 b=0xb2 c=0xc3000000c3 d=0xd4"),
      request("200113", "in=32 out=32"),
      request("200114", "in=32 out=32"),
      request("200115", "in=64 out=40 " + valueEF),
      request("200117", "in=64 out=40 " + valueEF),
      request("200118", "in=44 out=32 a=0xa1 b=0xb2 c=0xc3"),
      request("200119", "in=48 out=32 a=0xa1 b=0xb2 c=0xc3000000c3"),
      "close dev=d",
  };
  EXPECT_EQ(result.log, expectedLog);
  EXPECT_EQ(result.out,
            "aeRequest01 value=0x1000001 status=0:0:\n"
            "aeRequest02 status=0:0:\n"
            "aeRequest03 status=0:0:\n"
            "aeRequest04 status=0:0:\n"
            "aeRequest05 status=0:0:\n"
            "aeRequest06 status=0:0:\n"
            "setProperty status=0:0:\n"
            "getProperty size=0x4 status=0:0:\n"
            "aeRequest0B status=0:0:\n"
            "aeRequest0C values=0xc00000000000001,0xc00000000000002,0xc00000000000003 "
            "status=0:0:\n"
            "aeRequest0D status=0:0:\n"
            "aeRequest0E value=0xe00000000000001 status=0:0:\n"
            "aeRequest0F status=0:0:\n"
            "aeRequest10 status=0:0:\n"
            "aeRequest11 status=0:0:\n"
            "aeRequest13 status=0:0:\n"
            "aeRequest14 status=0:0:\n"
            "aeRequest15 value=0x1500000000000001 status=0:0:\n"
            "aeRequest17 value=0x1700000000000001 status=0:0:\n"
            "aeRequest18 status=0:0:\n"
            "aeRequest19 status=0:0:\n");
}

// A driver error still delivers the reply's values; a refused request
// leaves the in/out value as it was sent; a warning reaches the caller's
// status. Each request has its own status, so the others are unaffected.
TEST(AeRequestsUnderTheDriver, AnswersAndFailuresReachTheCaller) {
  tSimRun run;
  const SimResult result = sendAll(run,
                                   "fault ioctl req=0x0c status=-52100:9:drv.c\n"
                                   "fault ioctl req=0x15 errno=EIO\n"
                                   "fault ioctl req=0x0a status=3:4:warn.c\n"
                                   "fault ioctl req=0x17 errno=200\n");
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  auto lineOf = [&](const std::string& name) {
    const std::string::size_type at = result.out.find(name + " ");
    if (at == std::string::npos) return std::string();
    return result.out.substr(at, result.out.find('\n', at) - at);
  };
  EXPECT_EQ(lineOf("aeRequest0C"),
            "aeRequest0C values=0xc00000000000001,0xc00000000000002,0xc00000000000003 "
            "status=-52100:9:drv.c");
  EXPECT_EQ(lineOf("aeRequest15"),
            "aeRequest15 value=0x7700000077 status=-52024:85:tDeviceInterfaceProxy");
  EXPECT_EQ(lineOf("aeRequest17"),
            "aeRequest17 value=0x7700000077 status=-52008:85:tDeviceInterfaceProxy");
  EXPECT_EQ(lineOf("getProperty"), "getProperty size=0x4 status=3:4:warn.c");
  EXPECT_EQ(lineOf("aeRequest0E"), "aeRequest0E value=0xe00000000000001 status=0:0:");
  EXPECT_EQ(result.logStartingWith("fault ioctl").size(), 4u);
}

}  // namespace
