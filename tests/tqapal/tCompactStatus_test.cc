// SPDX-License-Identifier: MIT
#include "tqapal/tCompactStatus.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace nTQVLKAET100::nTQAPAL000 {
namespace {

tStatus failedAt(std::int64_t code, const char* file, std::uint64_t line) {
  tStatus s;
  setCode(s, code, kComponentTool, file, line);
  return s;
}

TEST(CompactFromStatus, BaseNameCutAndShortRecords) {
  struct Case {
    std::string file;
    std::string stored;
  } cases[] = {
      {"tqapal/protons/driver/linuxU/tDeviceInterfaceProxy", "tDeviceInterfaceProxy"},
      {"noslash", "noslash"},
      {"dir/", ""},
      {"", ""},
      {"a/" + std::string(30, 'n'), std::string(23, 'n')},
      {std::string(23, 'e'), std::string(23, 'e')},
  };
  for (const Case& c : cases) {
    tCompactStatus compact;
    std::memset(&compact, 'x', sizeof compact);
    compact.code = 0;
    compactFromStatus(compact, failedAt(-52024, c.file.c_str(), 0x100000007ull));
    EXPECT_EQ(compact.code, -52024);
    EXPECT_EQ(compact.line, 7u);
    EXPECT_EQ(std::string(compact.file), c.stored) << c.file;
    EXPECT_EQ(compact.file[23], 0);
  }
}

TEST(CompactFromStatus, ShortRecordAndEarlierError) {
  tStatus shortRecord;
  shortRecord.structSize = 100;
  setCode(shortRecord, -52006, "c", "f", 9);
  tCompactStatus compact{4, 3, "warn"};
  compactFromStatus(compact, shortRecord);
  EXPECT_EQ(compact.code, -52006);
  EXPECT_EQ(compact.line, 0u);
  EXPECT_STREQ(compact.file, "");

  tCompactStatus failed{-1, 3, "first"};
  compactFromStatus(failed, failedAt(-2, "x/second", 4));
  EXPECT_EQ(failed.code, -1);
  EXPECT_EQ(failed.line, 3u);
  EXPECT_STREQ(failed.file, "first");
}

TEST(CompactAdaptor, CopiesTheOwnersState) {
  struct Case {
    tStatus owner;
    std::int32_t code;
    std::uint32_t line;
    std::string file;
  } cases[] = {
      {tStatus(), 0, 0, ""},
      {failedAt(-52005, "tqapal/some/really/long/file/name", 40), -52005, 40,
       "tqapal/some/really/long"},
      {failedAt(6, "w", 2), 6, 2, "w"},
  };
  for (Case& c : cases) {
    tCompactStatusAdaptor adaptor(c.owner);
    EXPECT_EQ(adaptor.block().code, c.code);
    EXPECT_EQ(adaptor.block().line, c.line);
    EXPECT_EQ(std::string(adaptor.block().file), c.file);
    // No byte of the block that reaches the driver is left unset.
    for (std::size_t i = c.file.size(); i < sizeof adaptor.block().file; ++i) {
      EXPECT_EQ(adaptor.block().file[i], 0) << i;
    }
  }
  tStatus shortRecord;
  shortRecord.structSize = 100;
  setCode(shortRecord, -3, "c", "f", 1);
  tCompactStatusAdaptor adaptor(shortRecord);
  EXPECT_EQ(adaptor.block().code, -3);
  EXPECT_EQ(adaptor.block().line, 0u);
  EXPECT_STREQ(adaptor.block().file, "");
}

TEST(CompactAdaptor, MergeBackUsesTheDriverComponent) {
  tStatus owner;
  tCompactStatusAdaptor adaptor(owner);
  tCompactStatus& block = adaptor;
  block.code = -52031;
  block.line = 77;
  // The driver's file name may fill all 24 bytes without a NUL.
  std::memcpy(block.file, "abcdefghijklmnopqrstuvwx", 24);
  EXPECT_TRUE(adaptor.mergeBack());
  EXPECT_EQ(owner.code, -52031);
  EXPECT_STREQ(owner.component, "tqvlkae");
  EXPECT_STREQ(owner.file, "abcdefghijklmnopqrstuvwx");
  EXPECT_EQ(owner.line, 77u);
}

TEST(CompactAdaptor, WarningFromTheDriverStaysBehindAnEarlierError) {
  tStatus owner = failedAt(-1, "mine", 1);
  tCompactStatusAdaptor adaptor(owner);
  adaptor.block().code = 5;
  EXPECT_FALSE(adaptor.mergeBack());
  EXPECT_EQ(owner.code, -1);
  EXPECT_STREQ(owner.file, "mine");
}

}  // namespace
}  // namespace nTQVLKAET100::nTQAPAL000
