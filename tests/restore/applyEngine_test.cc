// SPDX-License-Identifier: MIT
// apply's engine against a fake driver: which writes it sends and in which
// order, the read-back it waits for, and what the rollback leaves behind.
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "restore/applyEngine.h"

namespace {

using namespace nTQVLKAET100;
using namespace std::chrono_literals;

// One property per port of device 0; each value one byte, for short tables.
struct FakeDriver : iPropertyDevice {
  std::map<std::uint32_t, unsigned char> values;  // port -> value
  std::vector<std::string> log;                   // "w<port>=<value>" per set, in order
  int refuseSets = 0, refuseSetsFrom = 0;         // sets number from.. (from 1) refused
  int discardSet = 0;                             // set number answered but not kept
  int lateSet = 0, lateReads = 0;                 // set number that shows after reads
  int stopAfterSet = 0;                           // stop flag raised after this set
  std::uint32_t unreadablePort = 99;
  int goneAfterSet = 0;  // after this set every request fails
  volatile std::sig_atomic_t stop = 0;
  int sets = 0;
  std::map<std::uint32_t, std::pair<unsigned char, int>> pending;  // port -> value, reads left

  bool gone() const { return goneAfterSet != 0 && sets >= goneAfterSet; }
  std::optional<tRestoreFailure> read(const tPropertySlot& slot, tPropertyBytes& value) override {
    if (slot.port == unreadablePort || gone()) return tRestoreFailure{-5, "Error (-5): gone", 0};
    auto late = pending.find(slot.port);
    if (late != pending.end() && --late->second.second <= 0) {
      values[slot.port] = late->second.first;
      pending.erase(late);
    }
    value = {values[slot.port]};
    return std::nullopt;
  }
  std::optional<tRestoreFailure> write(const tPropertySlot& slot,
                                       const tPropertyBytes& value) override {
    if (gone()) return tRestoreFailure{-5, "Error (-5): gone", 0};
    ++sets;
    log.push_back("w" + std::to_string(slot.port) + "=" + std::to_string(value[0]));
    if (sets == stopAfterSet) stop = SIGTERM;
    if (sets >= refuseSetsFrom && sets < refuseSetsFrom + refuseSets) {
      return tRestoreFailure{-52005, "Error (-52005): refused", 0};
    }
    if (sets == discardSet) return std::nullopt;
    if (sets == lateSet) {
      pending[slot.port] = {value[0], lateReads};
      return std::nullopt;
    }
    values[slot.port] = value[0];
    return std::nullopt;
  }
};

std::vector<tApplyTarget> targets(const std::vector<unsigned char>& wanted) {
  std::vector<tApplyTarget> list;
  for (std::uint32_t port = 0; port < wanted.size(); ++port) {
    list.push_back({{0, port, 0x13fff7}, {wanted[port]}, port + 10});
  }
  return list;
}

std::string state(FakeDriver& driver) {
  std::string text;
  for (const auto& [port, value] : driver.values) text += std::to_string(value);
  return text;
}

std::string joined(const std::vector<std::string>& log) {
  std::string text;
  for (const std::string& line : log) text += (text.empty() ? "" : " ") + line;
  return text;
}

// Ports 0-4 hold 0,1,0,1,0 before each case.
TEST(ApplyEngine, WritesWhatDiffersReadsItBackAndPutsEverythingBackOnFailure) {
  struct Case {
    const char* name;
    void (*setUp)(FakeDriver&);
    std::vector<unsigned char> target;
    tApplyStop stop;
    std::string sets;   // every set request, in order
    std::string after;  // the values afterwards, port by port
    std::size_t leftChanged;
  } cases[] = {
      {"only what differs, in order",
       [](FakeDriver&) {},
       {1, 1, 1, 1, 1},
       tApplyStop::kNone,
       "w0=1 w2=1 w4=1",
       "11111",
       0},
      {"at the target: no set",
       [](FakeDriver&) {},
       {0, 1, 0, 1, 0},
       tApplyStop::kNone,
       "",
       "01010",
       0},
      {"a value that shows late is waited for",
       [](FakeDriver& d) { d.lateSet = 2, d.lateReads = 3; },
       {1, 1, 1, 1, 1},
       tApplyStop::kNone,
       "w0=1 w2=1 w4=1",
       "11111",
       0},
      {"3rd of 5 refused: the two before are put back, newest first",
       [](FakeDriver& d) { d.refuseSetsFrom = 3, d.refuseSets = 1; },
       {5, 6, 7, 8, 9},
       tApplyStop::kRefused,
       "w0=5 w1=6 w2=7 w1=1 w0=0",
       "01010",
       0},
      {"not kept: fails after the timeout, and is put back too",
       [](FakeDriver& d) { d.discardSet = 2; },
       {1, 1, 1, 1, 1},
       tApplyStop::kNotKept,
       "w0=1 w2=1 w2=0 w0=0",
       "01010",
       0},
      {"a rollback write refused: listed, the others still put back",
       [](FakeDriver& d) { d.refuseSetsFrom = 3, d.refuseSets = 2; },
       {5, 6, 7, 8, 9},
       tApplyStop::kRefused,
       "w0=5 w1=6 w2=7 w1=1 w0=0",
       "06010",
       1},
      {"a stop between two writes",
       [](FakeDriver& d) { d.stopAfterSet = 1; },
       {1, 1, 1, 1, 1},
       tApplyStop::kInterrupted,
       "w0=1 w0=0",
       "01010",
       0},
      {"a device gone after the first write: nothing can be put back",
       [](FakeDriver& d) { d.goneAfterSet = 1; },
       {1, 1, 1, 1, 1},
       tApplyStop::kReadFailed,
       "w0=1",
       "11010",
       1},
      {"a snapshot read refused: nothing written",
       [](FakeDriver& d) { d.unreadablePort = 3; },
       {1, 1, 1, 1, 1},
       tApplyStop::kSnapshot,
       "",
       "01010",
       0},
  };
  for (const Case& c : cases) {
    FakeDriver driver;
    driver.values = {{0, 0}, {1, 1}, {2, 0}, {3, 1}, {4, 0}};
    c.setUp(driver);
    tApplySettings settings;
    settings.verifyTimeout = 60ms;
    settings.pollInterval = 1ms;
    settings.stop = &driver.stop;
    const tApplyOutcome outcome = runApply(driver, targets(c.target), settings);
    EXPECT_EQ(outcome.stop, c.stop) << c.name;
    EXPECT_EQ(joined(driver.log), c.sets) << c.name;
    EXPECT_EQ(state(driver), c.after) << c.name;
    EXPECT_EQ(outcome.leftChanged.size(), c.leftChanged) << c.name;
    if (c.stop == tApplyStop::kNone || c.leftChanged != 0) continue;
    // Everything it changed is back: the rollback counted each one.
    std::size_t sent = 0;
    for (const tAppliedWrite& write : outcome.writes) sent += write.sent;
    EXPECT_EQ(outcome.rolledBack, sent) << c.name;
  }
}

TEST(ApplyEngine, LeftChangedNamesTheValueBeforeAndNow) {
  FakeDriver driver;
  driver.values = {{0, 0}, {1, 1}, {2, 0}};
  driver.refuseSetsFrom = 2;
  driver.refuseSets = 2;
  tApplySettings settings;
  settings.verifyTimeout = 10ms;
  const tApplyOutcome outcome = runApply(driver, targets({4, 1, 5}), settings);
  ASSERT_EQ(outcome.leftChanged.size(), 1u);
  EXPECT_EQ(outcome.leftChanged[0].target, 0u);
  EXPECT_EQ(outcome.leftChanged[0].before, tPropertyBytes{0});
  EXPECT_EQ(outcome.leftChanged[0].now, tPropertyBytes{4});
  ASSERT_TRUE(outcome.failure);
  EXPECT_EQ(outcome.failure->line, 12u);  // the target that failed: port 2
}

TEST(ApplyEngine, PlanReadsAndNeverWrites) {
  FakeDriver driver;
  driver.values = {{0, 0}, {1, 1}};
  const tApplyOutcome outcome = planApply(driver, targets({1, 1}));
  EXPECT_EQ(outcome.plan, std::vector<std::size_t>{0});
  EXPECT_EQ(driver.sets, 0);
}

// Values of different sizes compare by their number, as diff compares them.
TEST(ApplyEngine, SameValue) {
  EXPECT_TRUE(sameValue({0, 0, 0, 0}, {0}));
  EXPECT_TRUE(sameValue({0x31}, {0x31, 0, 0, 0}));
  EXPECT_FALSE(sameValue({0, 1, 0, 0}, {0}));
  EXPECT_FALSE(sameValue({1, 2}, {1}));
}

}  // namespace
