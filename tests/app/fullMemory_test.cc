// SPDX-License-Identifier: MIT
// The real tool with a full memory: tq_alloc_faults, preloaded before the
// simulated driver, makes one allocation fail, and each allocation of a run
// takes its turn. Whatever fails, the run ends as the clean run did, or with
// exactly one report line and exit status 1, having written to the driver no
// more than the clean run wrote before that point and holding no descriptor
// at exit. Never a crash, and never a success that did less than the clean
// run.
#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/reloc/relocation_dir.h"
#include "tests/support/reports.h"
#include "tests/support/tSimRun.h"

namespace {

using tqtest::SimOptions;
using tqtest::SimResult;
using tqtest::tSimRun;

using tqtest::kTwoDeviceBench;

// The reports a full memory may end a run with: the -52000 of the
// relocation table and the path layer, the path layer's own out-of-memory
// code, the relocation library failing for a key, the settings reader's read
// error, and std::bad_alloc from the layers that throw it.
const char kMemoryFull[] = "0xFFFF34E0";

// Without the sanitizers' allocator and without valgrind: both replace the
// C library's malloc, which the preload needs to sit in front of.
bool skipReason(std::string& why) {
#if defined(__SANITIZE_ADDRESS__)
  why = "the sanitizer's allocator replaces the C library's";
  return true;
#else
  const char* wrapper = std::getenv("TQ_TEST_WRAPPER");
  if (wrapper != nullptr && *wrapper != 0) {
    why = "the tool runs under " + std::string(wrapper);
    return true;
  }
  return false;
#endif
}

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::vector<std::string> writes(const SimResult& result) {
  std::vector<std::string> lines;
  for (const std::string& line : result.logStartingWith("ioctl ")) {
    if (line.find(" req=0x200109 ") != std::string::npos) lines.push_back(line);
  }
  return lines;
}

template <typename T>
bool isPrefix(const T& part, const T& whole) {
  return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

class FullMemory : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    if (skipReason(why)) GTEST_SKIP() << why;
    options_.preload.push_back(TQ_ALLOC_FAULTS_LIBRARY);
    options_.env.emplace_back(
        "LD_LIBRARY_PATH",
        tqtest::makeRelocationDir(run_.dir(), {{"sharedstatedir", run_.dir() + "/state"}}));
    run_.writeFile("state/tq-vlnk/tqvlkae.ini",
                   "[PortSetting]\n"
                   "1a5_0_linkspeed=10\n"
                   "3c9_0_portmode=1\n"  // no such device: skipped
                   "2b7_1_forcelinkdisable=\"1\"\n");
  }

  SimResult run(const std::vector<std::string>& args, const std::string& fault) {
    SimOptions options = options_;
    options.env.emplace_back("TQ_ALLOC_FAULT", fault);
    return run_.run(kTwoDeviceBench, args, options);
  }

  // Fails each allocation of the run in turn; returns the report lines seen.
  std::set<std::string> failEachAllocation(const std::vector<std::string>& args) {
    const SimResult clean = run(args, "");
    EXPECT_EQ(clean.exitStatus, 0) << clean.err;
    const std::vector<std::string> counted = clean.logStartingWith("alloc count=");
    EXPECT_EQ(counted.size(), 1u);
    if (counted.size() != 1) return {};
    const int count = std::stoi(counted[0].substr(std::string("alloc count=").size()));
    // The tool allocates: the preload must see it do so.
    EXPECT_GT(count, 50);
    const std::vector<std::string> cleanWrites = writes(clean);

    std::set<std::string> reports;
    for (int n = 1; n <= count; ++n) {
      const SimResult result = run(args, "nth=" + std::to_string(n));
      const std::vector<std::string> fired = result.logStartingWith("fault alloc n=");
      const std::string at = "allocation " + std::to_string(n) + " (" +
                             (fired.empty() ? "not reached" : fired[0]) + ")";
      EXPECT_EQ(fired.size(), 1u) << at;
      EXPECT_FALSE(result.timedOut) << at;
      EXPECT_TRUE(result.logStartingWith("leak").empty()) << at << ": " << result.log.back();
      EXPECT_EQ(result.logStartingWith("open dev=").size(),
                result.logStartingWith("close dev=").size())
          << at;
      if (result.exitStatus == 0) {
        EXPECT_EQ(result.out, clean.out) << at;
        EXPECT_EQ(result.err, "") << at;
        EXPECT_EQ(writes(result), cleanWrites) << at;
        continue;
      }
      EXPECT_EQ(result.exitStatus, 1) << at << "\n" << result.err;
      // One report line.
      EXPECT_TRUE(startsWith(result.err, "Error (") || startsWith(result.err, "Exception ("))
          << at << ": " << result.err;
      EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << at << ": " << result.err;
      EXPECT_TRUE(isPrefix(result.out, clean.out)) << at << ": " << result.out;
      EXPECT_TRUE(isPrefix(writes(result), cleanWrites)) << at;
      reports.insert(result.err);
    }
    return reports;
  }

  tSimRun run_;
  SimOptions options_;
};

TEST_F(FullMemory, EveryAllocationOfARestore) {
  const std::set<std::string> reports = failEachAllocation({"-r"});
  // The layers that report a full memory as -52000 did so, and the others
  // reached the report as std::bad_alloc.
  EXPECT_EQ(reports.count(tqtest::pathReport(kMemoryFull)), 1u);
  EXPECT_EQ(reports.count("Exception (St9bad_alloc): std::bad_alloc\n"), 1u);
}

TEST_F(FullMemory, EveryAllocationOfAListing) {
  failEachAllocation({});
}

TEST_F(FullMemory, RelocationBufferFailsTheRunBeforeAnyRequest) {
  // The relocation table asks the library for each directory through a
  // 255-byte buffer; without it every directory lookup fails with -52000.
  const SimResult result = run({"-r"}, "size=255 times=1");
  EXPECT_EQ(result.logStartingWith("fault alloc n=").size(), 1u);
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(result.err, tqtest::pathReport(kMemoryFull));
  EXPECT_TRUE(result.logStartingWith("open dev=").empty());
  EXPECT_TRUE(result.logStartingWith("leak").empty());
}

}  // namespace
