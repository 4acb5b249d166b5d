// What a store writes: the rewrite of the settings text, its diff, and the
// replacement of the file on disk (crash, fault and lock behaviour).
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "device/aeProperties.h"
#include "error/Exception.h"
#include "fuzz/storeRewriteDifference.h"
#include "settings/replaceSettingsFile.h"
#include "settings/storeRewrite.h"
#include "settings/unifiedDiff.h"
#include "support/tempDirectory.h"

namespace nTQVLKAET100 {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kLinkSpeed = 0x13FFF7;
constexpr std::uint32_t kPortMode = 0x13FFFE;
constexpr std::uint32_t kJumboFrames = 0x13FFF5;

tCapturedValue value32(std::uint32_t serial, std::uint32_t port, std::uint32_t id,
                       std::uint32_t number) {
  tCapturedValue v{serial, port, id, 4, {0, 0, 0, 0}};
  std::memcpy(v.bytes, &number, sizeof number);
  return v;
}

tCapturedValue value8(std::uint32_t serial, std::uint32_t port, std::uint32_t id,
                      unsigned char byte) {
  return tCapturedValue{serial, port, id, 1, {byte, 0, 0, 0}};
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(StoreRewrite, KeepsEverythingButTheStoredValues) {
  const std::vector<tCapturedValue> captured = {
      value32(0x1a5, 0, kLinkSpeed, 1000),   value32(0x1a5, 1, kPortMode, 2),
      value32(0x1a5, 0, kJumboFrames, 9000), value8(0x1a5, 0, kPropertyForceLinkDisable, '1'),
      value8(0x1a5, 2, kPortMode, 0x07),
  };
  struct Case {
    std::string old;
    std::string expected;  // empty: refused
  } cases[] = {
      // CRLF, comments, other sections, key spellings, a port property named
      // twice (both get the value), a value already right in another form.
      {"; stored\r\ntop=1\r\n\r\n[Other]\r\n1a5_0_linkspeed=7\r\n[PortSetting]\r\n"
       "0x1A5_0_LinkSpeed = 100 \r\n; note\r\n00001a5_1_PORTMODE=\"2\"\r\n1a5_0_linkspeed=5\r\n"
       "3c9_0_linkspeed=1\r\nbad_key=1\r\n\r\n[portsetting]\r\n1a5_0_jumboframes=1\r\n",
       "; stored\r\ntop=1\r\n\r\n[Other]\r\n1a5_0_linkspeed=7\r\n[PortSetting]\r\n"
       "0x1A5_0_LinkSpeed = 1000 \r\n; note\r\n00001a5_1_PORTMODE=\"2\"\r\n1a5_0_linkspeed=1000\r\n"
       "3c9_0_linkspeed=1\r\nbad_key=1\r\n1a5_0_jumboframes=9000\r\n\r\n[portsetting]\r\n"
       "1a5_0_jumboframes=1\r\n"},
      {"", "[PortSetting]\n1a5_0_linkspeed=1000\n1a5_1_portmode=2\n1a5_0_jumboframes=9000\n"},
      // No line end at the end stays so.
      {"a=1", "a=1\n[PortSetting]\n1a5_0_linkspeed=1000\n1a5_1_portmode=2\n1a5_0_jumboframes=9000"},
      {"[PortSetting]\n1a5_1_portmode=-4294967294\t\n1a5_0_jumboframes=",
       "[PortSetting]\n1a5_1_portmode=-4294967294\t\n1a5_0_jumboframes=9000\n"
       "1a5_0_linkspeed=1000"},
      // The last empty header takes the entries; an earlier one stays empty.
      {"[PortSetting]\n[x]\nk=1\n[PortSetting]\n;\n[y]\nk=1\n",
       "[PortSetting]\n[x]\nk=1\n[PortSetting]\n1a5_0_linkspeed=1000\n1a5_1_portmode=2\n"
       "1a5_0_jumboframes=9000\n;\n[y]\nk=1\n"},
      {"[PortSetting]\n1a5_0_linkspeed = 1 0\v\n1a5_1_portmode=x=2\n1a5_0_jumboframes= \"90\"00\n",
       "[PortSetting]\n1a5_0_linkspeed = 1000\v\n1a5_1_portmode=2\n1a5_0_jumboframes= \"90\"00\n"},
      {"[PortSetting\n", ""},
      {std::string("a=1\n\0[PortSetting]\n", 19), ""},
      {"PortSetting=1\n", ""},
  };
  for (const Case& c : cases) {
    const tStoreRewrite rewrite = rewriteSettings(c.old, captured);
    EXPECT_EQ(rewrite.bytes, c.expected) << c.old;
    EXPECT_EQ(rewrite.refusal != tRewriteRefusal::kNone, c.expected.empty()) << c.old;
    EXPECT_EQ(tqfuzz::storeRewriteDifference(c.old, captured, rewrite), "") << c.old;
    if (c.expected.empty()) continue;
    EXPECT_TRUE(rewrite.forceLinkDisableLeftOut);
    ASSERT_EQ(rewrite.leftOut.size(), 1u);
    EXPECT_EQ(rewrite.leftOut[0].reason,
              "a control character (0x07) cannot be written in a settings line");
  }
}

// Every byte as a 1-byte value: stored exactly when restore reads it back.
TEST(StoreRewrite, CharacterValuesRoundTripThroughTheReader) {
  int stored = 0;
  for (int byte = 0; byte < 256; ++byte) {
    const std::vector<tCapturedValue> captured = {
        value8(0x1a5, 0, kPortMode, static_cast<unsigned char>(byte))};
    for (const std::string old : {"", "[PortSetting]\n1a5_0_portmode=1\n"}) {
      const tStoreRewrite rewrite = rewriteSettings(old, captured);
      EXPECT_EQ(tqfuzz::storeRewriteDifference(old, captured, rewrite), "") << byte;
      stored += rewrite.leftOut.empty();
    }
  }
  EXPECT_EQ(stored, 2 * (0x7E - 0x20));  // ' ' to '~', but '"'
  EXPECT_EQ(rewriteSettings("", {value8(1, 0, kPortMode, ' ')}).bytes,
            "[PortSetting]\n1_0_portmode=\" \"\n");
}

// The diff against what diff -u prints for the same two files.
TEST(StoreDiff, AsDiffWritesIt) {
  const std::string lines = "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n13\n14\n15\n16\n";
  const std::pair<std::string, std::string> cases[] = {
      {"", "a\nb\n"},
      {"a\r\nb\r\n", "a\r\nc\r\nb\r\n"},
      {"a", "a\nb"},
      {lines, "1\n2\nx\n4\n5\n6\n7\n8\n9\nx\n11\n12\n13\n14\n15\n16\nx\n"},
      {lines, "x\n2\n3\n4\n5\n6\n7\n8\nx\n10\n11\n12\n13\n14\n15\n16"},
      {"a\nb\nc\n", ""},
  };
  // Generated settings files of unique lines, 40 to 4,800 lines long, with
  // values changed, entries added and removed here and there: far apart
  // (hunks of their own), close (joined hunks) and at both ends.
  std::vector<std::pair<std::string, std::string>> all(std::begin(cases), std::end(cases));
  std::uint32_t seed = 12345;
  const auto next = [&seed](std::uint32_t range) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % range;
  };
  for (const std::uint32_t lineCount : {40u, 300u, 4800u}) {
    std::string oldText = "[PortSetting]\n";
    std::string newText = oldText;
    for (std::uint32_t i = 0; i < lineCount; ++i) {
      const std::string line =
          "1a5_" + std::to_string(i) + "_linkspeed=" + std::to_string(i) + "\n";
      const std::uint32_t edit = next(lineCount < 100 ? 8 : 40);
      if (edit != 1) oldText += line;                           // 1: added
      if (edit != 2) newText += edit == 3 ? "x" + line : line;  // 2: removed, 3: changed
      if (edit == 4) newText += "1a5_" + std::to_string(i) + "_mtu=9000\n";
    }
    all.emplace_back(oldText, newText + "2b7_0_linkspeed=1\n");
  }
  tqtest::tTempDirectory temp;
  for (const auto& [oldText, newText] : all) {
    const std::string a = temp.writeFile("a", oldText);
    const std::string b = temp.writeFile("b", newText);
    const std::string out = temp.path() + "/out";
    ASSERT_NE(std::system(("diff -u " + a + " " + b + " | tail -n +3 >" + out).c_str()), -1);
    EXPECT_EQ("--- a\n+++ b\n" + readFile(out), unifiedDiff(oldText, newText, "a", "b"))
        << oldText.substr(0, 200) << "=>" << newText.substr(0, 200);
  }
  EXPECT_EQ(unifiedDiff(lines, lines, "a", "b"), "");
}

// Replacement on disk: owner and mode kept, links stay links, nothing left;
// a file that changed meanwhile is told apart from a failure.
TEST(StoreReplace, ReplacesTheFileItNames) {
  tqtest::tTempDirectory temp;
  const std::string plain = temp.writeFile("plain/tqvlkae.ini", "old\n");
  ASSERT_EQ(::chmod(plain.c_str(), 0640), 0);
  const std::string target = temp.writeFile("real/tqvlkae.ini", "old\n");
  const std::string link = temp.makeDirectory("link") + "/tqvlkae.ini";
  fs::create_symlink(target, link);
  const std::string absent = temp.path() + "/new/dir/tqvlkae.ini";
  // A link to nothing is refused, and nothing is created through it.
  const std::string dangling = temp.makeDirectory("dangling") + "/tqvlkae.ini";
  fs::create_symlink(temp.path() + "/nowhere/tqvlkae.ini", dangling);
  const ::mode_t mask = ::umask(077);
  struct Case {
    std::string path;
    std::string expectedOld;
    std::string file;  // what holds the content; empty: nothing does
    ::mode_t mode;
    tReplaceResult result;
  } cases[] = {
      {plain, "old\n", plain, 0640, tReplaceResult::kReplaced},
      {plain, "other\n", plain, 0640, tReplaceResult::kFileChanged},
      {link, "old\n", target, 0644, tReplaceResult::kReplaced},
      {absent, "", absent, 0644, tReplaceResult::kReplaced},
      {dangling, "", "", 0, tReplaceResult::kFailed},
  };
  for (const Case& c : cases) {
    const std::string before = c.file.empty() ? "" : readFile(c.file);
    nTQAPAL000::tStatus status;
    EXPECT_EQ(replaceSettingsFile(c.path, c.expectedOld, "new\n", status), c.result) << c.path;
    EXPECT_EQ(status.code < 0, c.result == tReplaceResult::kFailed) << c.path;
    if (c.file.empty()) continue;
    EXPECT_EQ(readFile(c.file), c.result == tReplaceResult::kReplaced ? "new\n" : before)
        << c.path;
    struct stat info;
    ASSERT_EQ(::stat(c.file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, c.mode) << c.path;
    EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(c.file).parent_path()), {}), 1);
  }
  ::umask(mask);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(readFile(plain), "new\n");
  EXPECT_EQ(fs::status(temp.path() + "/new").permissions(), fs::perms(0755));
  EXPECT_FALSE(fs::exists(temp.path() + "/nowhere"));
  // At the boundary a failure is thrown.
  EXPECT_THROW(replaceSettingsFile(dangling, "", "new\n"), tqerr::Exception);
}

// A writer waits while a reader holds the shared lock on the file.
TEST(StoreReplace, WaitsForTheReadersLock) {
  tqtest::tTempDirectory temp;
  const std::string path = temp.writeFile("tqvlkae.ini", "old\n");
  const int reader = ::open(path.c_str(), O_RDONLY);
  ASSERT_EQ(::flock(reader, LOCK_SH), 0);
  std::thread writer(
      [&] { EXPECT_EQ(replaceSettingsFile(path, "old\n", "new\n"), tReplaceResult::kReplaced); });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(readFile(path), "old\n");
  ::close(reader);
  writer.join();
  EXPECT_EQ(readFile(path), "new\n");
}

// A fault or a kill at each step of the write: the path holds the whole old
// or the whole new file, and the next run leaves no temporary file.
TEST(StoreReplace, FaultsAndKillsLeaveOldOrNew) {
  const struct {
    const char* fault;  // TQ_WRITE_FAULT: call, its number, what happens
    bool replaced;
  } cases[] = {
      {"write 1 fail", false}, {"write 1 kill", false},  {"fsync 1 fail", false},
      {"fsync 1 kill", false}, {"rename 1 fail", false}, {"rename 1 kill", false},
      {"fsync 2 fail", true},  {"fsync 2 kill", true},
  };
  tqtest::tTempDirectory temp;
  const std::string oldText = "[PortSetting]\n1a5_0_linkspeed=1\n";
  const std::string newText = "[PortSetting]\n1a5_0_linkspeed=1000\n1a5_1_portmode=2\n";
  const std::string content = temp.writeFile("new.txt", newText);
  for (const auto& c : cases) {
    const std::string path = temp.writeFile("etc/tqvlkae.ini", oldText);
    const std::string run = std::string(TQ_REPLACE_SETTINGS_PROGRAM) + " " + path + " " + content;
    const int status = std::system(("ASAN_OPTIONS=\"$ASAN_OPTIONS:verify_asan_link_order=0\" "
                                    "LD_PRELOAD=" TQ_WRITE_FAULTS_LIBRARY " TQ_WRITE_FAULT='" +
                                    std::string(c.fault) + "' " + run + " 2>/dev/null")
                                       .c_str());
    const bool killed = std::string(c.fault).find("kill") != std::string::npos;
    // Killed: directly, or as the shell reports it (128 + the signal).
    const bool died = (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) ||
                      (WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGKILL);
    EXPECT_EQ(died, killed) << c.fault;
    if (!killed) {
      EXPECT_EQ(WEXITSTATUS(status), 1) << c.fault;
    }
    EXPECT_EQ(readFile(path), c.replaced ? newText : oldText) << c.fault;
    ASSERT_EQ(std::system(run.c_str()), 0) << c.fault;
    EXPECT_EQ(readFile(path), newText) << c.fault;
    EXPECT_EQ(std::distance(fs::directory_iterator(temp.path() + "/etc"), {}), 1) << c.fault;
  }
}

}  // namespace
}  // namespace nTQVLKAET100
