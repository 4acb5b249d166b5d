// SPDX-License-Identifier: MIT
#include "tqapal/errors.h"

#include <cerrno>
#include <cstring>
#include <map>
#include <sstream>

#include <gtest/gtest.h>

#include "tests/support/readmeTable.h"

namespace nTQVLKAET100::nTQAPAL000 {
namespace {

// Every errno is held against the README's table below; what that table
// cannot say: no error, and numbers that are no errno at all.
TEST(MapErrno, NoErrorAndNumbersThatAreNoErrno) {
  EXPECT_EQ(mapErrno(0), 0);
  for (const int e : {-1, 134, 4096}) EXPECT_EQ(mapErrno(e), -52008) << "errno " << e;
}

// The README's error-code table says which errno values give each code; it
// must say so for every errno the table above maps, and say nothing else.
TEST(MapErrno, ReadmeTableMatches) {
  const auto rows =
      tqtest::readmeTable("| code | as 32 bits | name | errno of a failed open or ioctl | usual causes |");
  ASSERT_GE(rows.size(), 18u);
  const std::map<std::string, std::int32_t> names = {
      {"tqapalerr_memoryFull", tqapalerr_memoryFull},
      {"tqapalerr_invalidParameter", tqapalerr_invalidParameter},
      {"tqapalerr_resourceNotFound", tqapalerr_resourceNotFound},
      {"tqapalerr_osFault", tqapalerr_osFault},
      {"tqapalerr_objectNameCollision", tqapalerr_objectNameCollision},
      {"tqapalerr_notSupported", tqapalerr_notSupported},
      {"tqapalerr_searchFailed", tqapalerr_searchFailed},
      {"tqapalerr_timeout", tqapalerr_timeout},
      {"tqapalerr_bufferTooSmall", tqapalerr_bufferTooSmall},
      {"tqapalerr_readError", tqapalerr_readError},
      {"tqapalerr_accessDenied", tqapalerr_accessDenied}};
  std::map<std::string, int> errnoByName;
  for (int e = 1; e < 134; ++e) {
    if (const char* name = strerrorname_np(e)) errnoByName[name] = e;
  }
  std::map<int, std::int32_t> listed;  // errno -> the code of its row
  for (const auto& row : rows) {
    ASSERT_EQ(row.size(), 5u);
    const std::int32_t code = std::stoi(row[0]);
    EXPECT_EQ(static_cast<std::uint32_t>(code), std::stoul(row[1], nullptr, 16)) << row[0];
    if (!row[2].empty()) {
      const auto named = names.find(row[2]);
      ASSERT_NE(named, names.end()) << row[2];
      EXPECT_EQ(named->second, code) << row[2];
    }
    std::istringstream words(row[3]);
    for (std::string word; words >> word;) {
      // Errno names; the words of "every errno not in this table" are not.
      if (word[0] != 'E' ||
          word.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789") != std::string::npos)
        continue;
      ASSERT_EQ(errnoByName.count(word), 1u) << word;
      listed[errnoByName.at(word)] = code;
      EXPECT_EQ(mapErrno(errnoByName.at(word)), code) << word;
    }
  }
  for (const auto& [name, e] : errnoByName) {
    if (mapErrno(e) == tqapalerr_osFault) continue;  // "every errno not in this table"
    EXPECT_EQ(listed.count(e), 1u) << name << " is not in the README's table";
  }
}

}  // namespace
}  // namespace nTQVLKAET100::nTQAPAL000
