// SPDX-License-Identifier: MIT
#include "sim/driver.h"

#include <errno.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "tests/support/files.h"
#include "tests/support/tSimRun.h"

namespace {

using tqsim::Bench;
using tqsim::Driver;
using tqsim::ProcessMemory;

struct Compact {
  std::int32_t code;
  std::uint32_t line;
  char file[24];
};
struct Block {
  std::uint64_t in, out;
  std::uint32_t inSize, outSize, returned, zero;
};
struct PropRequest {
  std::uint32_t port, selector, property, pad0;
  std::uint64_t buffer;
  std::uint32_t bufferSize;
  Compact status;
  std::uint32_t pad1;
};
struct GetReply {
  std::uint32_t size;
  Compact status;
};
static_assert(sizeof(PropRequest) == 64 && sizeof(GetReply) == 36);

const char kBench[] =
    "device d0 serial=0x1a5 ports=2 pid=7\n"
    "interface d0 ae_ae\\0 node=/dev/tqae0\n"
    "size 0x00abcdef 2\n";

std::uint64_t addr(const void* p) {
  return reinterpret_cast<std::uint64_t>(p);
}

class DriverTest : public ::testing::Test {
 protected:
  void load(const std::string& extra) {
    Bench bench;
    std::string error;
    ASSERT_TRUE(tqsim::parseBench(kBench + extra, bench, error)) << error;
    driver_ = std::make_unique<Driver>(bench);
  }

  // The 4-byte value of a port's property as a get with a buffer reads it.
  std::uint32_t read(std::uint32_t port, std::uint32_t prop) {
    std::uint32_t value = 0xEEEEEEEE;
    GetReply g;
    EXPECT_EQ(get(port, prop, &value, 4, g), 0);
    EXPECT_EQ(g.status.code, 0);
    return value;
  }

  // setProperty with value bytes; returns the ioctl's errno (0: answered).
  int set(std::uint32_t port, std::uint32_t prop, const std::string& value, Compact& reply,
          const Compact& sent = Compact{}) {
    PropRequest r{};
    r.port = port;
    r.selector = 0xFFFFFFFF;
    r.property = prop;
    r.buffer = value.empty() ? 0 : addr(value.data());
    r.bufferSize = static_cast<std::uint32_t>(value.size());
    r.status = sent;
    reply = Compact{99, 99, "unset"};
    Block b{addr(&r), addr(&reply), 64, 32, 0, 0};
    int rc = driver_->ioctl("d0", tqsim::kSetProperty, addr(&b), memory_, log_);
    if (rc == 0) {
      EXPECT_EQ(b.returned, 32u);
    }
    return rc;
  }

  int get(std::uint32_t port, std::uint32_t prop, void* buffer, std::uint32_t size,
          GetReply& reply) {
    PropRequest r{};
    r.port = port;
    r.selector = 0xFFFFFFFF;
    r.property = prop;
    r.buffer = addr(buffer);
    r.bufferSize = size;
    std::memset(&reply, 0xaa, sizeof reply);
    Block b{addr(&r), addr(&reply), 64, 36, 0, 0};
    return driver_->ioctl("d0", tqsim::kGetProperty, addr(&b), memory_, log_);
  }

  std::unique_ptr<Driver> driver_;
  ProcessMemory memory_;
  std::vector<std::string> log_;
};

TEST_F(DriverTest, SetThenGetReturnsTheStoredBytesAndLogsBoth) {
  load("");
  Compact reply;
  ASSERT_EQ(set(1, 0x13FFF7, std::string("\x10\x27\0\0", 4), reply), 0);
  EXPECT_EQ(reply.code, 0);
  EXPECT_EQ(reply.line, 0u);
  EXPECT_STREQ(reply.file, "");

  std::uint32_t value = 0xEEEEEEEE;
  GetReply g;
  ASSERT_EQ(get(1, 0x13FFF7, &value, 4, g), 0);
  EXPECT_EQ(g.size, 4u);
  EXPECT_EQ(g.status.code, 0);
  EXPECT_EQ(value, 10000u);
  // Values are kept per port: port 0 still reads as zero.
  ASSERT_EQ(get(0, 0x13FFF7, &value, 4, g), 0);
  EXPECT_EQ(value, 0u);

  ASSERT_EQ(log_.size(), 3u);
  EXPECT_EQ(log_[0],
            "ioctl dev=d0 req=0x200109 in=64 out=32 port=1 sel=0xffffffff prop=0x0013fff7 "
            "bufsize=4 value=10270000 status=0:0:");
  EXPECT_EQ(log_[1],
            "ioctl dev=d0 req=0x20010a in=64 out=36 port=1 sel=0xffffffff prop=0x0013fff7 "
            "bufsize=4 value=- status=0:0:");
}

TEST_F(DriverTest, LogShowsTheIncomingStatusBlock) {
  load("");
  Compact reply;
  Compact warning{5, 321, "caller.cc"};
  ASSERT_EQ(set(0, 0x0210FEEA, std::string(1, '\0'), reply, warning), 0);
  EXPECT_EQ(reply.code, 0);  // the driver's answer replaces the warning
  EXPECT_EQ(log_.back(),
            "ioctl dev=d0 req=0x200109 in=64 out=32 port=0 sel=0xffffffff prop=0x0210feea "
            "bufsize=1 value=00 status=5:321:caller.cc");
}

TEST_F(DriverTest, SizeQueryReportsTheConfiguredSizes) {
  load("");
  struct Case {
    std::uint32_t prop;
    std::uint32_t size;
    std::int32_t code;
  } cases[] = {
      {0x0210FEEA, 1, 0},
      {0x13FFFE, 4, 0},
      {0x13FFEF, 4, 0},
      {0x00abcdef, 2, 0},
      {0x12345678, 0, tqsim::kReplyUnknownProperty},
  };
  for (const auto& c : cases) {
    GetReply g;
    ASSERT_EQ(get(0, c.prop, nullptr, 0, g), 0);
    EXPECT_EQ(g.size, c.size) << std::hex << c.prop;
    EXPECT_EQ(g.status.code, c.code) << std::hex << c.prop;
  }
}

TEST_F(DriverTest, RefusesWhatARealDriverWould) {
  load("");
  struct Case {
    const char* what;
    std::uint32_t port;
    std::uint32_t prop;
    std::string value;
    std::int32_t code;
  } cases[] = {
      {"port beyond NumPorts", 2, 0x13FFF7, std::string(4, '\1'), tqsim::kReplyInvalidParameter},
      {"wrong value size", 0, 0x13FFF7, std::string(1, '\1'), tqsim::kReplyInvalidParameter},
      {"no value", 0, 0x13FFF7, "", tqsim::kReplyInvalidParameter},
      {"unknown property", 0, 0x1, std::string(4, '\1'), tqsim::kReplyUnknownProperty},
  };
  for (const auto& c : cases) {
    Compact reply;
    ASSERT_EQ(set(c.port, c.prop, c.value, reply), 0) << c.what;
    EXPECT_EQ(reply.code, c.code) << c.what;
    EXPECT_STREQ(reply.file, tqsim::kReplyFile) << c.what;
  }
  // Nothing refused was stored.
  std::uint32_t value = 0xEEEEEEEE;
  GetReply g;
  ASSERT_EQ(get(0, 0x13FFF7, &value, 4, g), 0);
  EXPECT_EQ(value, 0u);
  // A receive buffer smaller than the property is refused, its size reported.
  ASSERT_EQ(get(0, 0x13FFF7, &value, 2, g), 0);
  EXPECT_EQ(g.status.code, tqsim::kReplyBufferTooSmall);
  EXPECT_EQ(g.size, 4u);
}

TEST_F(DriverTest, InjectedFaultsFireOnTheSelectedRequests) {
  load(
      "fault ioctl seq=2 errno=EIO\n"
      "fault ioctl dev=d0 port=1 prop=0x0210feea status=-52006:77:drv.c from=2 times=1\n"
      "fault ioctl req=0x200109 port=0 status=3:5:warn.c\n");
  Compact reply;
  const std::string zero(1, '\0');
  // 1: port 1, first match of the status fault, which starts at the second.
  ASSERT_EQ(set(1, 0x0210FEEA, zero, reply), 0);
  EXPECT_EQ(reply.code, 0);
  // 2: the errno fault by sequence number.
  EXPECT_EQ(set(1, 0x0210FEEA, zero, reply), EIO);
  EXPECT_EQ(log_.back(), "fault ioctl seq=2 dev=d0 errno=5");
  // 3: second match of the status fault.
  ASSERT_EQ(set(1, 0x0210FEEA, zero, reply), 0);
  EXPECT_EQ(reply.code, -52006);
  EXPECT_EQ(reply.line, 77u);
  EXPECT_STREQ(reply.file, "drv.c");
  EXPECT_EQ(log_.back(), "fault ioctl seq=3 dev=d0 status=-52006:77:drv.c");
  // 4: times=1 has run out.
  ASSERT_EQ(set(1, 0x0210FEEA, zero, reply), 0);
  EXPECT_EQ(reply.code, 0);
  // 5: a warning still stores the value.
  ASSERT_EQ(set(0, 0x13FFF7, std::string("\x2a\0\0\0", 4), reply), 0);
  EXPECT_EQ(reply.code, 3);
  std::uint32_t value = 0;
  GetReply g;
  ASSERT_EQ(get(0, 0x13FFF7, &value, 4, g), 0);
  EXPECT_EQ(value, 42u);
}

// Five writes as restore makes them (a size query, then the set), values
// 1 to 5 to five properties of port 0, under one fault each; then every
// value read back. A refused write keeps nothing, nor does a discarded one,
// which is answered as a kept one is.
TEST_F(DriverTest, AWriteRefusedOrNotKeptAmongFive) {
  const std::uint32_t props[] = {0x13FFFE, 0x13FFFD, 0x13FFF7, 0x13FFF5, 0x13FFF3};
  struct Case {
    const char* fault;
    int errnos[5];
    std::int32_t codes[5];
    std::uint32_t kept[5];
    const char* faultLine;
  } cases[] = {
      {"fault ioctl req=0x200109 status=-52005:417:ae_port.c from=3 times=1",
       {0, 0, 0, 0, 0},
       {0, 0, -52005, 0, 0},
       {1, 2, 0, 4, 5},
       "fault ioctl seq=6 dev=d0 status=-52005:417:ae_port.c"},
      {"fault ioctl req=0x200109 seq=6 errno=EIO",
       {0, 0, EIO, 0, 0},
       {0, 0, 0, 0, 0},
       {1, 2, 0, 4, 5},
       "fault ioctl seq=6 dev=d0 errno=5"},
      {"fault ioctl port=0 prop=0x13fff7 discard",
       {0, 0, 0, 0, 0},
       {0, 0, 0, 0, 0},
       {1, 2, 0, 4, 5},
       "fault ioctl seq=6 dev=d0 discard"},
      // Only sets count towards a discard: the size queries do not.
      {"fault ioctl discard from=3 times=2",
       {0, 0, 0, 0, 0},
       {0, 0, 0, 0, 0},
       {1, 2, 0, 0, 5},
       "fault ioctl seq=6 dev=d0 discard"},
      // A warning status keeps the value.
      {"fault ioctl req=0x200109 status=7:1:w.c from=3 times=1",
       {0, 0, 0, 0, 0},
       {0, 0, 7, 0, 0},
       {1, 2, 3, 4, 5},
       "fault ioctl seq=6 dev=d0 status=7:1:w.c"},
  };
  for (const Case& c : cases) {
    log_.clear();
    load(std::string(c.fault) + "\n");
    for (int i = 0; i < 5; ++i) {
      GetReply g;
      ASSERT_EQ(get(0, props[i], nullptr, 0, g), 0) << c.fault;
      Compact reply;
      const std::uint32_t value = static_cast<std::uint32_t>(i + 1);
      EXPECT_EQ(set(0, props[i], std::string(reinterpret_cast<const char*>(&value), 4), reply),
                c.errnos[i])
          << c.fault << " write " << i + 1;
      if (c.errnos[i] == 0) {
        EXPECT_EQ(reply.code, c.codes[i]) << c.fault << " write " << i + 1;
      }
    }
    std::vector<std::string> faults;
    for (const auto& line : log_)
      if (line.rfind("fault", 0) == 0) faults.push_back(line);
    ASSERT_FALSE(faults.empty()) << c.fault;
    EXPECT_EQ(faults.front(), c.faultLine);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(read(0, props[i]), c.kept[i]) << c.fault << " " << i;
  }
}

// Two drivers on one state file are two programs on one bench: each sees
// what the other kept. The file starts as the bench's value lines and is
// written in the bench's grammar.
TEST_F(DriverTest, AStateFileKeepsTheValuesAcrossDrivers) {
  tqtest::tSimRun scratch;
  const std::string state = scratch.dir() + "/values";
  const std::string bench = "state " + state + "\nvalue d0 port=1 prop=0x13fff5 hex=09000000\n";
  load(bench);
  Compact reply;
  ASSERT_EQ(set(0, 0x13FFF7, std::string("\x64\0\0\0", 4), reply), 0);
  load(bench);  // a second program: the bench's value line does not come back
  EXPECT_EQ(read(0, 0x13FFF7), 100u);
  EXPECT_EQ(read(1, 0x13FFF5), 9u);
  ASSERT_EQ(set(1, 0x13FFF5, std::string("\x0a\0\0\0", 4), reply), 0);
  load(bench);
  EXPECT_EQ(read(1, 0x13FFF5), 10u);
  const auto lines = tqtest::readLines(state);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], "value d0 port=0 prop=0x0013fff7 hex=64000000");
  EXPECT_EQ(lines[2], "value d0 port=1 prop=0x0013fff5 hex=0a000000");

  // Removed, the file is the bench's again: the reset.
  ASSERT_EQ(std::remove(state.c_str()), 0);
  load(bench);
  EXPECT_EQ(read(0, 0x13FFF7), 0u);
  EXPECT_EQ(read(1, 0x13FFF5), 9u);

  // A state file that names a device the bench lacks fails the request,
  // and says why.
  std::ofstream(state) << "value gone port=0 prop=0x13fff7 hex=00000000\n";
  GetReply g;
  std::uint32_t value = 0;
  EXPECT_EQ(get(0, 0x13FFF7, &value, 4, g), EIO);
  EXPECT_EQ(driver_->failure(), "state file " + state +
                                    " line 1: value needs a declared device, port=<n>, "
                                    "prop=<id> and hex=<bytes> (remove the file to reset the "
                                    "bench)");
}

TEST_F(DriverTest, RequestFaultsTakeTheCodeOrTheRequestNumber) {
  load("fault ioctl req=0x0a errno=EIO\nfault ioctl req=0x200102 errno=ENXIO\n");
  Compact reply;
  EXPECT_EQ(set(0, 0x13FFF7, std::string(4, '\0'), reply), 0);
  GetReply g;
  std::uint32_t value = 0;
  EXPECT_EQ(get(0, 0x13FFF7, &value, 4, g), EIO);
  unsigned char in[40] = {};
  unsigned char out[32] = {};
  Block b{addr(in), addr(out), 40, 32, 0, 0};
  EXPECT_EQ(driver_->ioctl("d0", 0x200102, addr(&b), memory_, log_), ENXIO);
  EXPECT_EQ(driver_->ioctl("d0", 0x200104, addr(&b), memory_, log_), 0);
}

TEST_F(DriverTest, OtherRequestsAreDecodedAndAnsweredWithTheirValues) {
  load("fault ioctl req=0x20010c status=-1:2:x.c\n");
  // aeRequest13: the caller's status block alone.
  Compact sent{5, 6, "s c.c"};
  unsigned char out[64];
  std::memset(out, 0xaa, sizeof out);
  Block b{addr(&sent), addr(out), 32, 32, 0, 0};
  ASSERT_EQ(driver_->ioctl("d0", 0x200113, addr(&b), memory_, log_), 0);
  EXPECT_EQ(log_.back(), "ioctl dev=d0 req=0x200113 in=32 out=32 status=5:6:s\\x20c.c");
  EXPECT_EQ(tqsim::hex(out, 32), std::string(64, '0'));
  EXPECT_EQ(out[32], 0xaa);  // nothing written past the reply record
  EXPECT_EQ(b.returned, 32u);

  // aeRequest0E: a u64 in/out value at 16, its reply value first.
  struct {
    std::uint32_t a, b;
    std::uint64_t c, value;
    std::uint32_t e;
    Compact status;
    std::uint32_t pad;
  } request0E = {1, 2, 0x300000003ull, 0x400000004ull, 5, Compact{}, 0};
  static_assert(sizeof(request0E) == 64);
  Block e{addr(&request0E), addr(out), 64, 40, 0, 0};
  ASSERT_EQ(driver_->ioctl("d0", 0x20010E, addr(&e), memory_, log_), 0);
  EXPECT_EQ(log_.back(),
            "ioctl dev=d0 req=0x20010e in=64 out=40 a=0x1 b=0x2 c=0x300000003 value=0x400000004 "
            "e=0x5 status=0:0:");
  std::uint64_t value = 0;
  std::memcpy(&value, out, sizeof value);
  EXPECT_EQ(value, 0x0E00000000000001ull);

  // aeRequest0C: three results, the injected status after them.
  unsigned char in[48] = {};
  Block c{addr(in), addr(out), 48, 56, 0, 0};
  ASSERT_EQ(driver_->ioctl("d0", 0x20010C, addr(&c), memory_, log_), 0);
  std::uint64_t values[3];
  std::memcpy(values, out, sizeof values);
  EXPECT_EQ(values[2], 0x0C00000000000003ull);
  Compact tail;
  std::memcpy(&tail, out + 24, sizeof tail);
  EXPECT_EQ(tail.code, -1);
  EXPECT_STREQ(tail.file, "x.c");
}

TEST_F(DriverTest, OtherRequestsRefuseUnknownCodesAndWrongSizes) {
  load("");
  unsigned char in[64] = {};
  unsigned char out[64] = {};
  for (std::uint32_t gap : {0x200107u, 0x200108u, 0x200112u, 0x200116u}) {
    Block b{addr(in), addr(out), 32, 32, 0, 0};
    EXPECT_EQ(driver_->ioctl("d0", gap, addr(&b), memory_, log_), ENOTTY) << std::hex << gap;
  }
  Block shortReply{addr(in), addr(out), 48, 32, 0, 0};  // aeRequest01 answers 36 bytes
  EXPECT_EQ(driver_->ioctl("d0", 0x200101, addr(&shortReply), memory_, log_), EINVAL);
  EXPECT_EQ(log_.back(), "ioctl dev=d0 req=0x200101 in=48 out=32 sizes=wrong");
}

TEST_F(DriverTest, MalformedCallsFailLikeTheKernel) {
  load("");
  unsigned char in[64] = {};
  unsigned char out[64] = {};
  Block wrongSize{addr(in), addr(out), 64, 36, 0, 0};  // a set with a get's reply size
  EXPECT_EQ(driver_->ioctl("d0", tqsim::kSetProperty, addr(&wrongSize), memory_, log_), EINVAL);
  EXPECT_EQ(driver_->ioctl("d0", 0x5401, addr(&wrongSize), memory_, log_), ENOTTY);
  Block dirty{addr(in), addr(out), 64, 32, 0, 7};
  EXPECT_EQ(driver_->ioctl("d0", tqsim::kSetProperty, addr(&dirty), memory_, log_), EINVAL);
  EXPECT_EQ(log_.back(), "ioctl dev=d0 req=0x200109 returned=0 zero=7 block=dirty");
  dirty = Block{addr(in), addr(out), 64, 32, 64, 0};
  EXPECT_EQ(driver_->ioctl("d0", tqsim::kSetProperty, addr(&dirty), memory_, log_), EINVAL);
  EXPECT_EQ(driver_->ioctl("d0", tqsim::kSetProperty, 8, memory_, log_), EFAULT);
  Block badInput{8, addr(out), 64, 32, 0, 0};
  EXPECT_EQ(driver_->ioctl("d0", tqsim::kSetProperty, addr(&badInput), memory_, log_), EFAULT);
  PropRequest r{};
  r.property = 0x13FFF7;
  r.buffer = 8;  // unreadable value
  r.bufferSize = 4;
  Block badValue{addr(&r), addr(out), 64, 32, 0, 0};
  EXPECT_EQ(driver_->ioctl("d0", tqsim::kSetProperty, addr(&badValue), memory_, log_), EFAULT);
  EXPECT_NE(log_.back().find("value=unreadable"), std::string::npos) << log_.back();
}

}  // namespace
