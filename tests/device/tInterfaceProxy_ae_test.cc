// SPDX-License-Identifier: MIT
#include "device/tInterfaceProxy_ae.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tqapal/tCompactStatus.h"
#include "tqapal/tStatus.h"

namespace nTQVLKAET100 {
namespace {

using nTQAPAL000::tCompactStatus;
using nTQAPAL000::tStatus;
using Bytes = std::vector<unsigned char>;

std::string hexDump(const Bytes& bytes) {
  std::string text;
  char cell[24];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i % 16 == 0) {
      std::snprintf(cell, sizeof(cell), "\n%04zx:", i);
      text += cell;
    }
    std::snprintf(cell, sizeof(cell), " %02x", bytes[i]);
    text += cell;
  }
  return text + "\n";
}

::testing::AssertionResult sameBytes(const Bytes& expected, const Bytes& actual) {
  if (expected == actual) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "expected " << expected.size() << " bytes:" << hexDump(expected) << "actual "
         << actual.size() << " bytes:" << hexDump(actual);
}

tCompactStatus compact(std::int32_t code, std::uint32_t line, const char* file) {
  tCompactStatus block;
  std::memset(&block, 0, sizeof(block));
  block.code = code;
  block.line = line;
  std::memcpy(block.file, file, strnlen(file, sizeof(block.file) - 1));
  return block;
}

Bytes bytesOf(const void* data, std::size_t size) {
  const auto* begin = static_cast<const unsigned char*>(data);
  return Bytes(begin, begin + size);
}

// A record image built field by field at the offsets the driver expects.
class RecordImage {
 public:
  explicit RecordImage(std::size_t size) : bytes_(size, 0) {}
  RecordImage& u32(std::size_t offset, std::uint32_t value) { return put(offset, &value, 4); }
  RecordImage& u64(std::size_t offset, std::uint64_t value) { return put(offset, &value, 8); }
  RecordImage& status(std::size_t offset, const tCompactStatus& block) {
    return put(offset, &block, sizeof(block));
  }
  const Bytes& bytes() const { return bytes_; }

 private:
  RecordImage& put(std::size_t offset, const void* value, std::size_t size) {
    EXPECT_LE(offset + size, bytes_.size()) << "field beyond the record";
    if (offset + size <= bytes_.size()) std::memcpy(&bytes_[offset], value, size);
    return *this;
  }
  Bytes bytes_;
};

// Stands in for the device node: captures every request and answers with a
// scripted reply, or fails the transport like a refused ioctl.
class tScriptedProxy : public tInterfaceProxy_ae {
 public:
  std::uint32_t ioctl(std::uint32_t requestCode, const void* input, std::uint32_t inputSize,
                      void* output, std::uint32_t outputSize, tStatus& status) override {
    ++calls;
    // Each request gets a transport status of its own, clean and full.
    EXPECT_EQ(status.structSize, 216u);
    EXPECT_EQ(status.code, 0);
    code = requestCode;
    request = bytesOf(input, inputSize);
    replyBefore = bytesOf(output, outputSize);
    if (failTransport) {
      nTQAPAL000::setCode(status, failCode, "tqvlkaepropinit", failFile.c_str(), failLine);
      return 0;
    }
    EXPECT_EQ(reply.size(), outputSize) << "scripted reply does not fit the record";
    std::memcpy(output, reply.data(), std::min<std::size_t>(reply.size(), outputSize));
    return outputSize;
  }

  int calls = 0;
  std::uint32_t code = 0;
  Bytes request;
  Bytes replyBefore;
  Bytes reply;
  bool failTransport = false;
  std::int64_t failCode = 0;
  std::string failFile;
  std::uint64_t failLine = 0;
};

// What an operation hands back besides its status block. Tests preset them
// to markers; in/out parameters send their preset value.
struct Outputs {
  std::uint32_t u32 = 0xD00DFEEDu;
  std::uint64_t u64 = 0x1122334455667788ull;
  std::uint64_t values[3] = {0xC0, 0xC1, 0xC2};
};

::testing::AssertionResult atPresets(const Outputs& outputs) {
  const Outputs presets;
  if (outputs.u32 == presets.u32 && outputs.u64 == presets.u64 &&
      std::equal(outputs.values, outputs.values + 3, presets.values)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "an out-parameter changed";
}

// A reply result at its offset and where the operation must deliver it.
struct ResultField {
  std::size_t offset;
  int width;  // 4 or 8
  std::uint64_t value;
  std::function<std::uint64_t(const Outputs&)> delivered;
};

const unsigned char kValueByte = 0;
const unsigned char* const kValueAddress = &kValueByte;

struct OperationCase {
  const char* name;
  std::uint32_t code;
  std::function<void(iInterfaceProxy_ae&, Outputs&, tCompactStatus&)> call;
  // The request record for the call's arguments (Outputs at their presets),
  // with the caller's block at its offset.
  std::function<RecordImage(const tCompactStatus&)> request;
  std::size_t replySize;
  std::size_t replyStatusOffset;
  std::vector<ResultField> results;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const OperationCase& op, std::ostream* out) {
  *out << op.name;
}

std::uint64_t outU32(const Outputs& o) {
  return o.u32;
}
std::uint64_t outU64(const Outputs& o) {
  return o.u64;
}

// Two u32 arguments: 0x0A, 0x0B.
std::function<RecordImage(const tCompactStatus&)> twoU32() {
  return [](const tCompactStatus& s) {
    return RecordImage(40).u32(0, 0x0A).u32(4, 0x0B).status(8, s);
  };
}
// Four u32 arguments: 0x0A..0x0D.
std::function<RecordImage(const tCompactStatus&)> fourU32() {
  return [](const tCompactStatus& s) {
    return RecordImage(48).u32(0, 0x0A).u32(4, 0x0B).u32(8, 0x0C).u32(12, 0x0D).status(16, s);
  };
}
std::function<RecordImage(const tCompactStatus&)> statusOnly() {
  return [](const tCompactStatus& s) { return RecordImage(32).status(0, s); };
}
// u32 0x0A, u32 0x0B, u64 c, in/out value, u32 0x0E, u32 0x0F.
std::function<RecordImage(const tCompactStatus&)> valueAndTwoU32() {
  return [](const tCompactStatus& s) {
    return RecordImage(64)
        .u32(0, 0x0A)
        .u32(4, 0x0B)
        .u64(8, 0xCCCCCCCC00000001ull)
        .u64(16, Outputs().u64)
        .u32(24, 0x0E)
        .u32(28, 0x0F)
        .status(32, s);
  };
}

const std::vector<ResultField> kNoResults;
const std::vector<ResultField> kU32Result = {{0, 4, 0x0000BEEF, outU32}};
const std::vector<ResultField> kU64Result = {{0, 8, 0xFEEDFACECAFEBEEFull, outU64}};

std::vector<OperationCase> operationCases() {
  using P = iInterfaceProxy_ae;
  using S = tCompactStatus;
  using O = Outputs;
  const std::uint64_t c64 = 0xCCCCCCCC00000001ull;
  const std::uint64_t d64 = 0xDDDDDDDD00000002ull;
  return {
      {"aeRequest01", 0x200101,
       [](P& p, O& o, S& s) { p.aeRequest01(0x0A, 0x0B, 0x0C, 0x0D, o.u32, s); }, fourU32(), 36, 4,
       kU32Result},
      {"aeRequest02", 0x200102, [](P& p, O&, S& s) { p.aeRequest02(0x0A, 0x0B, s); }, twoU32(), 32,
       0, kNoResults},
      {"aeRequest03", 0x200103, [=](P& p, O&, S& s) { p.aeRequest03(0x0A, 0x0B, c64, d64, s); },
       [=](const S& s) {
         return RecordImage(56).u32(0, 0x0A).u32(4, 0x0B).u64(8, c64).u64(16, d64).status(24, s);
       },
       32, 0, kNoResults},
      {"aeRequest04", 0x200104, [](P& p, O&, S& s) { p.aeRequest04(0x0A, 0x0B, s); }, twoU32(), 32,
       0, kNoResults},
      {"aeRequest05", 0x200105, [](P& p, O&, S& s) { p.aeRequest05(0x0A, 0x0B, s); }, twoU32(), 32,
       0, kNoResults},
      {"aeRequest06", 0x200106, [](P& p, O&, S& s) { p.aeRequest06(0x0A, 0x0B, s); }, twoU32(), 32,
       0, kNoResults},
      {"setProperty", 0x200109,
       [](P& p, O&, S& s) { p.setProperty(3, 0xFFFFFFFF, 0x0210FEEA, kValueAddress, 1, s); },
       [](const S& s) {
         return RecordImage(64)
             .u32(0, 3)
             .u32(4, 0xFFFFFFFF)
             .u32(8, 0x0210FEEA)
             .u64(16, reinterpret_cast<std::uintptr_t>(kValueAddress))
             .u32(24, 1)
             .status(28, s);
       },
       32, 0, kNoResults},
      {"getProperty", 0x20010A,
       [](P& p, O& o, S& s) { p.getProperty(2, 0xFFFFFFFF, 0x02100001, nullptr, 0, o.u32, s); },
       [](const S& s) {
         return RecordImage(64).u32(0, 2).u32(4, 0xFFFFFFFF).u32(8, 0x02100001).status(28, s);
       },
       36, 4, kU32Result},
      {"aeRequest0B", 0x20010B, [=](P& p, O&, S& s) { p.aeRequest0B(c64, 0x0B, s); },
       [=](const S& s) { return RecordImage(48).u64(0, c64).u32(8, 0x0B).status(12, s); }, 32, 0,
       kNoResults},
      {"aeRequest0C",
       0x20010C,
       [](P& p, O& o, S& s) { p.aeRequest0C(0x0A, 0x0B, 0x0C, 0x0D, o.values, s); },
       fourU32(),
       56,
       24,
       {{0, 8, 0xA000000000000001ull, [](const O& o) { return o.values[0]; }},
        {8, 8, 0xA000000000000002ull, [](const O& o) { return o.values[1]; }},
        {16, 8, 0xA000000000000003ull, [](const O& o) { return o.values[2]; }}}},
      {"aeRequest0D", 0x20010D, [](P& p, O&, S& s) { p.aeRequest0D(0x0A, 0x0B, 0x0C, 0x0D, s); },
       fourU32(), 32, 0, kNoResults},
      {"aeRequest0E", 0x20010E,
       [=](P& p, O& o, S& s) { p.aeRequest0E(0x0A, 0x0B, c64, o.u64, 0x0E, s); },
       [=](const S& s) {
         return RecordImage(64)
             .u32(0, 0x0A)
             .u32(4, 0x0B)
             .u64(8, c64)
             .u64(16, Outputs().u64)
             .u32(24, 0x0E)
             .status(28, s);
       },
       40, 8, kU64Result},
      {"aeRequest0F", 0x20010F, [](P& p, O&, S& s) { p.aeRequest0F(0x0A, 0x0B, 0x0C, 0x0D, s); },
       fourU32(), 32, 0, kNoResults},
      {"aeRequest10", 0x200110, [](P& p, O&, S& s) { p.aeRequest10(0x0A, 0x0B, 0x0C, 0x0D, s); },
       fourU32(), 32, 0, kNoResults},
      {"aeRequest11", 0x200111, [=](P& p, O&, S& s) { p.aeRequest11(0x0A, 0x0B, c64, 0x0D, s); },
       [=](const S& s) {
         return RecordImage(56).u32(0, 0x0A).u32(4, 0x0B).u64(8, c64).u32(16, 0x0D).status(20, s);
       },
       32, 0, kNoResults},
      {"aeRequest13", 0x200113, [](P& p, O&, S& s) { p.aeRequest13(s); }, statusOnly(), 32, 0,
       kNoResults},
      {"aeRequest14", 0x200114, [](P& p, O&, S& s) { p.aeRequest14(s); }, statusOnly(), 32, 0,
       kNoResults},
      {"aeRequest15", 0x200115,
       [=](P& p, O& o, S& s) { p.aeRequest15(0x0A, 0x0B, c64, o.u64, 0x0E, 0x0F, s); },
       valueAndTwoU32(), 40, 8, kU64Result},
      {"aeRequest17", 0x200117,
       [=](P& p, O& o, S& s) { p.aeRequest17(0x0A, 0x0B, c64, o.u64, 0x0E, 0x0F, s); },
       valueAndTwoU32(), 40, 8, kU64Result},
      {"aeRequest18", 0x200118, [](P& p, O&, S& s) { p.aeRequest18(0x0A, 0x0B, 0x0C, s); },
       [](const S& s) {
         return RecordImage(44).u32(0, 0x0A).u32(4, 0x0B).u32(8, 0x0C).status(12, s);
       },
       32, 0, kNoResults},
      {"aeRequest19", 0x200119, [=](P& p, O&, S& s) { p.aeRequest19(0x0A, 0x0B, c64, s); },
       [=](const S& s) {
         return RecordImage(48).u32(0, 0x0A).u32(4, 0x0B).u64(8, c64).status(16, s);
       },
       32, 0, kNoResults},
  };
}

Bytes scriptedReply(const OperationCase& op, const tCompactStatus& driverBlock) {
  RecordImage image(op.replySize);
  for (const ResultField& field : op.results) {
    if (field.width == 4) {
      image.u32(field.offset, static_cast<std::uint32_t>(field.value));
    } else {
      image.u64(field.offset, field.value);
    }
  }
  image.status(op.replyStatusOffset, driverBlock);
  return image.bytes();
}

// The operations exactly as the tool's code sees them: through the AE
// interface of an object whose ioctl is scripted.
class AeOperation : public ::testing::TestWithParam<OperationCase> {
 protected:
  tScriptedProxy proxy_;
  iInterfaceProxy_ae& ae_ = proxy_;
};

TEST_P(AeOperation, SendsItsRecordAndAdoptsTheWholeReply) {
  const OperationCase& op = GetParam();
  const struct {
    const char* name;
    tCompactStatus in;
    tCompactStatus driver;
  } answers[] = {
      {"success", compact(0, 0, ""), compact(0, 0, "")},
      {"warning in, success out", compact(4, 12, "caller.cc"), compact(0, 0, "")},
      {"driver warning", compact(0, 0, ""), compact(6, 301, "drvwarn.c")},
      {"driver error", compact(0, 0, ""), compact(-52100, 477, "aedriver_request_path.c")},
  };
  for (const auto& answer : answers) {
    SCOPED_TRACE(answer.name);
    Outputs outputs;
    tCompactStatus status = answer.in;
    proxy_.calls = 0;
    proxy_.reply = scriptedReply(op, answer.driver);
    op.call(ae_, outputs, status);

    ASSERT_EQ(proxy_.calls, 1);
    EXPECT_EQ(proxy_.code, op.code);
    EXPECT_TRUE(sameBytes(op.request(answer.in).bytes(), proxy_.request));
    // The reply record is prepared before the request: zeroed when it
    // carries results, otherwise a clean status block.
    ASSERT_EQ(proxy_.replyBefore.size(), op.replySize);
    const Bytes cleanBlock(8, 0);
    if (op.results.empty()) {
      EXPECT_TRUE(
          sameBytes(cleanBlock, Bytes(proxy_.replyBefore.begin(), proxy_.replyBefore.begin() + 8)));
      EXPECT_EQ(proxy_.replyBefore[8], 0);
    } else {
      EXPECT_TRUE(sameBytes(Bytes(op.replySize, 0), proxy_.replyBefore));
    }
    EXPECT_TRUE(sameBytes(bytesOf(&answer.driver, 32), bytesOf(&status, 32)));
    for (const ResultField& field : op.results) {
      EXPECT_EQ(field.delivered(outputs), field.value) << "result at offset " << field.offset;
    }
  }
}

TEST_P(AeOperation, CallerAlreadyFailedSendsNothing) {
  const OperationCase& op = GetParam();
  Outputs outputs;
  const tCompactStatus failed = compact(-1, 33, "earlier.cc");
  tCompactStatus status = failed;
  op.call(ae_, outputs, status);
  EXPECT_EQ(proxy_.calls, 0);
  EXPECT_TRUE(sameBytes(bytesOf(&failed, 32), bytesOf(&status, 32)));
  EXPECT_TRUE(atPresets(outputs));
}

TEST_P(AeOperation, TransportFailureTakesTheBaseNameAndKeepsTheOutputs) {
  const OperationCase& op = GetParam();
  proxy_.failTransport = true;
  proxy_.failCode = -52002;
  proxy_.failFile = "tqapal/protons/driver/linuxU/tDeviceInterfaceProxy";
  proxy_.failLine = 85;
  // A warning already in the block gives way to the failure.
  Outputs outputs;
  tCompactStatus status = compact(9, 44, "warned_here.cc");
  op.call(ae_, outputs, status);
  EXPECT_EQ(proxy_.calls, 1);
  const tCompactStatus expected = compact(-52002, 85, "tDeviceInterfaceProxy");
  EXPECT_TRUE(sameBytes(bytesOf(&expected, 32), bytesOf(&status, 32)));
  EXPECT_TRUE(atPresets(outputs));
}

INSTANTIATE_TEST_SUITE_P(AllAeRequests, AeOperation, ::testing::ValuesIn(operationCases()),
                         [](const ::testing::TestParamInfo<OperationCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(AeTable, CoversEveryRequestOnce) {
  std::vector<std::uint32_t> codes;
  for (const OperationCase& op : operationCases()) codes.push_back(op.code);
  EXPECT_EQ(codes.size(), 21u);
  std::vector<std::uint32_t> sorted = codes;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end());
  EXPECT_EQ(codes, sorted) << "table follows the declaration order";
}

TEST(AeTransport, LongBaseNameIsCutTo23Characters) {
  tScriptedProxy proxy;
  proxy.failTransport = true;
  proxy.failCode = -52006;
  proxy.failFile = "some/dir/aVeryLongSourceFileNameOfTheProxy.cc";
  proxy.failLine = 1234;
  tCompactStatus status = compact(0, 0, "");
  proxy.aeRequest13(status);
  EXPECT_EQ(status.code, -52006);
  EXPECT_EQ(status.line, 1234u);
  EXPECT_STREQ(status.file, "aVeryLongSourceFileName");
}

TEST(AeTransport, RealClosedNodeFailsWithBadDescriptor) {
  // No override: the request reaches the system and finds no open node.
  tInterfaceProxy_ae proxy;
  tCompactStatus status = compact(0, 0, "");
  std::uint32_t size = 77;
  proxy.getProperty(0, kAllSelectors, 0x02100001, nullptr, 0, size, status);
  EXPECT_EQ(status.code, -52006);
  EXPECT_EQ(status.line, 85u);
  EXPECT_STREQ(status.file, "tDeviceInterfaceProxy");
  EXPECT_EQ(size, 77u);
}

TEST(AeAdaptor, DriverAnswerMergesIntoTheCallersStatus) {
  tScriptedProxy proxy;
  RecordImage reply(32);
  reply.status(0, compact(-52100, 477, "aedrv.c"));
  proxy.reply = reply.bytes();
  tStatus status;
  nTQAPAL000::tCompactStatusAdaptor adaptor(status);
  const unsigned char zero = 0;
  proxy.setProperty(0, kAllSelectors, 0x0210FEEA, &zero, 1, adaptor.block());
  adaptor.mergeBack();
  EXPECT_EQ(status.code, -52100);
  EXPECT_STREQ(status.component, "tqvlkae");
  EXPECT_STREQ(status.file, "aedrv.c");
  EXPECT_EQ(status.line, 477u);
}

}  // namespace
}  // namespace nTQVLKAET100
