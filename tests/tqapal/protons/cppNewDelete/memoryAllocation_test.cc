// SPDX-License-Identifier: MIT
#include "tqapal/protons/cppNewDelete/memoryAllocation.h"

#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

#include "tqapal/errors.h"

namespace nTQVLKAET100::nTQAPAL000 {
namespace {

// Kept out of the compiler's sight so that the huge request is made at run
// time.
volatile std::size_t gHugeSize = std::numeric_limits<std::size_t>::max() / 2;

// AddressSanitizer's allocator reports an impossible request and stops the
// program instead of letting operator new return null.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kFailedAllocationAborts = true;
#else
constexpr bool kFailedAllocationAborts = false;
#endif

TEST(AllocateArray, AllocatesForACleanStatus) {
  tStatus s;
  char* array = allocateArray(255, s);
  ASSERT_NE(array, nullptr);
  array[0] = 'a';
  array[254] = 'z';
  EXPECT_EQ(s.code, 0);
  freeArray(array);
}

TEST(AllocateArray, AWarningDoesNotStopIt) {
  tStatus s;
  setCode(s, 3, "c", "f", 1);
  char* array = allocateArray(8, s);
  EXPECT_NE(array, nullptr);
  EXPECT_EQ(s.code, 3);
  freeArray(array);
}

TEST(AllocateArray, AnEarlierErrorGivesNullAndStays) {
  tStatus s;
  setCode(s, -52006, "first", "first/site", 7);
  EXPECT_EQ(allocateArray(8, s), nullptr);
  EXPECT_EQ(s.code, -52006);
  EXPECT_STREQ(s.component, "first");
  EXPECT_STREQ(s.file, "first/site");
  EXPECT_EQ(s.line, 7u);
}

TEST(AllocateArray, FailureIsRecordedNotThrown) {
  if (kFailedAllocationAborts) GTEST_SKIP() << "the sanitizer's allocator aborts instead";
  tStatus s;
  char* array = nullptr;
  EXPECT_NO_THROW(array = allocateArray(gHugeSize, s));
  EXPECT_EQ(array, nullptr);
  EXPECT_EQ(s.code, tqapalerr_memoryFull);
  EXPECT_STREQ(s.component, "tqvlkaepr");
  EXPECT_STREQ(s.file, "tqapal/protons/cppNewDelete/memoryAllocation");
  EXPECT_EQ(s.line, 342u);
  EXPECT_EQ(s.extension, 0u);
}

TEST(AllocateArray, FailureOverAWarningReplacesIt) {
  if (kFailedAllocationAborts) GTEST_SKIP() << "the sanitizer's allocator aborts instead";
  tStatus s;
  setCode(s, 2, "w", "warning/site", 1);
  EXPECT_EQ(allocateArray(gHugeSize, s), nullptr);
  EXPECT_EQ(s.code, -52000);
  EXPECT_EQ(s.line, 342u);
}

}  // namespace
}  // namespace nTQVLKAET100::nTQAPAL000
