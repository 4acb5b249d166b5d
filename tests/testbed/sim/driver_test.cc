// SPDX-License-Identifier: MIT
#include "sim/driver.h"

#include <errno.h>
#include <gtest/gtest.h>

#include <cstring>

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
