#include "tqapal/tCompactStatus.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace nTQVLKAET100::nTQAPAL000 {
namespace {

tCompactStatus blockWith(std::int32_t code, std::uint32_t line, const char* file) {
  tCompactStatus block;
  std::memset(&block, 0x7E, sizeof(block));  // garbage where nothing is written
  block.code = code;
  block.line = line;
  const std::size_t length = strnlen(file, sizeof(block.file) - 1);
  std::memcpy(block.file, file, length);
  block.file[length] = 0;
  return block;
}

TEST(CompactFromStatus, KeepsTheBaseNameCutTo23) {
  const struct {
    const char* file;
    const char* kept;
  } cases[] = {
      {"tqapal/protons/driver/linuxU/tDeviceInterfaceProxy", "tDeviceInterfaceProxy"},
      {"noDirectory.cc", "noDirectory.cc"},
      {"ends/with/", ""},
      {"", ""},
      {"/abs/exactly23characters_.c", "exactly23characters_.c"},
      {"d/abcdefghijklmnopqrstuvwxyz0123", "abcdefghijklmnopqrstuvw"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    tStatus full;
    setCode(full, -52002, "tqvlkaepropinit", c.file, 0x1234567890ull);
    tCompactStatus block = blockWith(0, 0, "");
    compactFromStatus(block, full);
    EXPECT_EQ(block.code, -52002);
    EXPECT_EQ(block.line, 0x34567890u);  // low 32 bits
    EXPECT_EQ(std::string(block.file), c.kept);
    EXPECT_EQ(block.file[23], 0);
  }
}

TEST(CompactFromStatus, ReplacesAWarningButNotAnError) {
  tStatus full;
  setCode(full, -52006, "tqvlkaepropinit", "a/b/site.cc", 46);

  tCompactStatus warned = blockWith(3, 9, "warn.cc");
  compactFromStatus(warned, full);
  EXPECT_EQ(warned.code, -52006);
  EXPECT_EQ(warned.line, 46u);
  EXPECT_STREQ(warned.file, "site.cc");

  tCompactStatus failed = blockWith(-1, 9, "first.cc");
  compactFromStatus(failed, full);
  EXPECT_EQ(failed.code, -1);
  EXPECT_EQ(failed.line, 9u);
  EXPECT_STREQ(failed.file, "first.cc");
}

TEST(CompactFromStatus, ShortRecordCarriesOnlyItsCode) {
  tStatus full;
  full.structSize = 100;
  setCode(full, -52024, "ignored", "ignored/file.cc", 78);
  tCompactStatus block = blockWith(0, 5, "stale.cc");
  compactFromStatus(block, full);
  EXPECT_EQ(block.code, -52024);
  EXPECT_EQ(block.line, 0u);
  EXPECT_STREQ(block.file, "");
}

TEST(CompactAdaptor, CopiesTheCallersStateAndMergesBackAsTheDriver) {
  tStatus status;
  setCode(status, 2, "tqvlkaepropinit", "a_rather_long_directory/name.cc", 17);
  tCompactStatusAdaptor adaptor(status);
  EXPECT_EQ(adaptor.block().code, 2);
  EXPECT_EQ(adaptor.block().line, 17u);
  EXPECT_STREQ(adaptor.block().file, "a_rather_long_directory");  // first 23 characters

  adaptor.block() = blockWith(-52100, 301, "drv.c");
  EXPECT_TRUE(adaptor.mergeBack());
  EXPECT_EQ(status.code, -52100);
  EXPECT_STREQ(status.component, "tqvlkae");
  EXPECT_STREQ(status.file, "drv.c");
  EXPECT_EQ(status.line, 301u);
}

}  // namespace
}  // namespace nTQVLKAET100::nTQAPAL000
