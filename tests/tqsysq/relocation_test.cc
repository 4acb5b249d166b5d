// SPDX-License-Identifier: MIT
#include "tqsysq/relocation.h"

#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/reloc/relocation_dir.h"
#include "tests/support/readmeTable.h"
#include "tests/tqsysq/scopedFixtures.h"

namespace tqsysq {
namespace {

using ::testing::ElementsAreArray;

std::vector<std::string> allKeys() {
  std::vector<std::string> keys;
  for (const RelocationKey& k : kRelocationKeys) keys.push_back(k.key);
  return keys;
}

std::string fakeLibrary(const std::string& name) {
  return std::string(TQ_FAKE_RELOC_DIR) + "/" + name + "/libtqrelocations.so.0";
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

// The sanitizer build traps any read past the 255-byte buffer that the table
// hands the library. For the plain build, leave non-zero bytes in the blocks
// the allocator will most likely hand out next for that size (the slack
// after 255 bytes included), so that such a read shows up as a longer
// value instead of stopping at a stray zero.
void leaveNonZeroBlocksForTheBuffer() {
  char* blocks[7];
  for (char*& block : blocks) {
    block = new char[264];
    std::memset(block, 'y', 264);
  }
  for (char* block : blocks) delete[] block;
}

// The keys and defaults that reloc/README.md documents, in order.
TEST(RelocationTable, KeysInOrderWithTheirDefaults) {
  const auto rows = tqtest::readmeTable("| key | default |", TQ_RELOCATION_README);
  ASSERT_EQ(rows.size(), sizeof kRelocationKeys / sizeof kRelocationKeys[0]);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    ASSERT_EQ(rows[i].size(), 2u);
    EXPECT_EQ(kRelocationKeys[i].key, rows[i][0]) << i;
    EXPECT_EQ(kRelocationKeys[i].defaultDir, rows[i][1]) << rows[i][0];
  }
}

// Each stand-in library, built into a table of its own in this process.
TEST(RelocationTable, StandInLibraries) {
  const std::string longX(255, 'x');
  struct Case {
    const char* name;
    std::string library;
    std::int32_t code;
    std::map<std::string, std::string> moved;  // keys whose value is not the default
    std::vector<std::string> asked;
  } cases[] = {
      {"absent", "/nonexistent/libtqrelocations.so.0", 0, {}, {}},
      {"without symbol", fakeLibrary("without_symbol"), 0, {}, {}},
      {"relocates nothing", fakeLibrary("relocates_nothing"), 0, {}, allKeys()},
      {"relocates state",
       fakeLibrary("relocates_state"),
       0,
       {{"sharedstatedir", "/opt/state"}},
       allKeys()},
      // The library overfills its buffer: the value is bounded by it.
      {"unterminated", fakeLibrary("unterminated"), 0, {{"prefixdir", longX}}, allKeys()},
      {"fails bindir",
       fakeLibrary("fails_bindir"),
       -52006,
       {},
       {"prefixdir", "execprefixdir", "bindir"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    tqtest::ScopedTempDir dir;
    const std::string log = dir / "asked";
    tqtest::ScopedEnv logEnv("TQ_RELOC_LOG", log);

    leaveNonZeroBlocksForTheBuffer();
    RelocationTable table(c.library.c_str());
    EXPECT_EQ(table.constructionStatus().code, c.code);
    EXPECT_THAT(lines(tqtest::readFile(log)), ElementsAreArray(c.asked));
    for (const RelocationKey& k : kRelocationKeys) {
      const std::string key = k.key;
      const std::string defaultDir = k.defaultDir;
      tqerr::JsonStatus status;
      std::string value = "unset";
      table.lookup(key.c_str(), value, status);
      EXPECT_EQ(status.code, c.code) << key;
      if (c.code == 0) {
        const auto moved = c.moved.find(key);
        EXPECT_EQ(value, moved != c.moved.end() ? moved->second : defaultDir) << key;
      } else {
        EXPECT_EQ(value, "unset") << key;
      }
      tqerr::release(status);
    }
  }
}

TEST(RelocationTable, UnknownKeyIsAnOsFault) {
  RelocationTable table("/nonexistent/libtqrelocations.so.0");
  tqerr::JsonStatus status;
  std::string value;
  table.lookup("sharedstate", value, status);  // a prefix of a key is not the key
  EXPECT_EQ(status.code, -52008);
  tqerr::release(status);
}

TEST(RelocationTable, LookupKeepsAnEarlierError) {
  RelocationTable table("/nonexistent/libtqrelocations.so.0");
  tqerr::JsonStatus status;
  status.code = -52005;
  std::string value = "unset";
  table.lookup("bindir", value, status);
  EXPECT_EQ(status.code, -52005);
  EXPECT_EQ(value, "unset");
}

// The process's own table, built before main from the library that the
// loader finds under the fixed name.
std::string runProbe(const std::string& libraryDir, const std::string& log) {
  return tqtest::runCommand("LD_LIBRARY_PATH='" + libraryDir + "' TQ_RELOC_LOG='" + log + "' '" +
                            TQ_RELOCATION_PROBE + "'");
}

// Every stand-in library, found by the loader under the fixed name in a
// process of its own: the table is built before main, and what it holds is
// what every operation of that process answers.
TEST(ProcessRelocationTable, StandInLibraries) {
  std::vector<std::string> defaults, stateMoved, allFail;
  for (const RelocationKey& k : kRelocationKeys) {
    const std::string key = k.key;
    defaults.push_back(key + "=" + k.defaultDir);
    stateMoved.push_back(key + "=" + (key == "sharedstatedir" ? "/opt/state" : k.defaultDir));
    allFail.push_back(key + " error -52006");
  }
  std::vector<std::string> everyKey = allKeys();
  everyKey.push_back("main");
  struct Case {
    const char* name;
    std::string libraryDir;  // empty: no library to be found
    std::vector<std::string> output;
    std::vector<std::string> asked;  // the library's log, then main's line
  } cases[] = {
      {"absent", "", defaults, {"main"}},
      {"without symbol", "without_symbol", defaults, {"main"}},
      {"relocates nothing", "relocates_nothing", defaults, everyKey},
      {"relocates state", "relocates_state", stateMoved, everyKey},
      {"fails bindir", "fails_bindir", allFail, {"prefixdir", "execprefixdir", "bindir", "main"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    tqtest::ScopedTempDir dir;
    const std::string log = dir / "asked";
    const std::string libraryDir =
        c.libraryDir.empty() ? dir.path() : std::string(TQ_FAKE_RELOC_DIR) + "/" + c.libraryDir;
    EXPECT_THAT(lines(runProbe(libraryDir, log)), ElementsAreArray(c.output));
    EXPECT_THAT(lines(tqtest::readFile(log)), ElementsAreArray(c.asked));
  }
}

// Several directories share a default, so only distinct relocations show
// that each operation asks for its own key.
TEST(ProcessRelocationTable, EachOperationAnswersItsOwnKey) {
  tqtest::ScopedTempDir dir;
  std::map<std::string, std::string> moved;
  std::vector<std::string> expected;
  for (const RelocationKey& k : kRelocationKeys) {
    moved[k.key] = "/moved/" + std::string(k.key);
    expected.push_back(std::string(k.key) + "=/moved/" + k.key);
  }
  const std::string libraryDir = tqtest::makeRelocationDir(dir.path(), moved);
  EXPECT_THAT(lines(runProbe(libraryDir, dir / "asked")), ElementsAreArray(expected));
}

}  // namespace
}  // namespace tqsysq
