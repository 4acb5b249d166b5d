// SPDX-License-Identifier: MIT
// The line-aware reader against the tool's INI reader, on tricky texts and on
// every committed fuzz input of the settings readers.
#include "settings/settingsLines.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fuzz/settingsReadersDifference.h"

namespace nTQVLKAET100 {
namespace {

std::string errorsOf(const tSettingsLines& lines) {
  std::string all;
  for (const tSettingsSyntaxError& e : lines.errors)
    all += std::to_string(e.line) + ":" + e.message + ";";
  return all;
}

TEST(SettingsLines, AgreesWithTheIniReader) {
  const std::string mebibyte(1 << 20, 'x');
  struct Case {
    std::string text;
    std::string errors;  // every error, "line:message;"
  } cases[] = {
      {"", ""},
      {"\n\n\n", ""},
      {"[PortSetting]\r\n1a5_0_linkspeed = \"10\" \r\n\r\n", ""},
      // A lone CR does not end a line: the entry belongs to the header line.
      {"[PortSetting]\r1a5_0_linkspeed=1\r", ""},
      {std::string("[PortSetting]\na=1\0\nb\n", 21), ""},
      {"\xEF\xBB\xBF[PortSetting]\nb\n",
       "1:'=' character not found in line;2:'=' character not found in line;"},
      {"top=1\n[ Port Setting ] tail\n a b = c = d \n\t\v\f;c\n#c\nx=\n", ""},
      {"[]\n=\n[[a]]\nk=1\n[a]\nk=1\n", "2:key expected;"},
      {"[a]\n[a]\nk=1\n[b]\n[b]\n[c]", ""},
      // A bad header is passed over: its entries go to the section before it.
      {"[a]\nk=1\n[b]\nj=1\n[a]\nj=2\n", "5:duplicate section name;6:duplicate key name;"},
      {"a=1\n[a]\nk=1\n", "2:duplicate section name;"},
      {"[a]\nk=1\n[b]\n[a]\n", "4:duplicate section name;"},
      {"k=1\nk=2\n[s]\nK=1\nk=1\nk=1", "2:duplicate key name;6:duplicate key name;"},
      {"[PortSetting\nabc\n  =1\n[x]\nk=1\nk=2\n[x]\n[y",
       "1:unmatched '[';2:'=' character not found in line;"
       "3:key expected;6:duplicate key name;7:duplicate section name;8:unmatched '[';"},
      {"[PortSetting]\n;" + mebibyte + "\n1a5_0_" + mebibyte + "=" + mebibyte + "\n", ""},
      {"\x80\xA0\x85[s]\n\xA0=\xFF\n", "1:'=' character not found in line;"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(tqfuzz::settingsReadersDifference(c.text.data(), c.text.size()), "") << c.text;
    EXPECT_EQ(errorsOf(readSettingsLines(c.text.data(), c.text.size())), c.errors) << c.text;
  }
}

TEST(SettingsLines, AgreesOnEveryCommittedFuzzInput) {
  namespace fs = std::filesystem;
  const fs::path fuzz = TQ_FUZZ_DIR;
  std::size_t files = 0;
  for (const fs::path& dir :
       {fuzz / "corpus/settings", fuzz / "corpus/settings_lines", fuzz / "regressions"}) {
    ASSERT_TRUE(fs::is_directory(dir)) << dir;
    for (const fs::directory_entry& file : fs::recursive_directory_iterator(dir)) {
      if (!file.is_regular_file()) continue;
      std::ifstream in(file.path(), std::ios::binary);
      const std::string bytes((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
      EXPECT_EQ(tqfuzz::settingsReadersDifference(bytes.data(), bytes.size()), "") << file.path();
      ++files;
    }
  }
  EXPECT_GE(files, 12u);
}

// What the checker builds on: lines, the section restore reads, look-alikes.
TEST(SettingsLines, LinesAndSectionsForTheChecker) {
  const std::string text =
      "\xEF\xBB\xBF; saved\n[portsetting]\n[PortSetting]\n\n1a5_0_linkspeed=\"10\"\n"
      "[PORTSETTING]\nk=v\n";
  const tSettingsLines lines = readSettingsLines(text.data(), text.size());
  EXPECT_TRUE(lines.byteOrderMark);
  // The mark makes the comment line a bad key line.
  EXPECT_EQ(errorsOf(lines), "1:'=' character not found in line;");
  ASSERT_NE(lines.section("PortSetting"), nullptr);
  const tSettingsEntry& entry = lines.section("PortSetting")->entries.at(0);
  EXPECT_EQ(entry.line, 5u);
  EXPECT_EQ(entry.key, "1a5_0_linkspeed");
  EXPECT_EQ(entry.value, "\"10\"");
  EXPECT_EQ(lines.section("portsetting"), nullptr);
  std::vector<unsigned long> lookalikes;
  for (const tSettingsSection* s : lines.sectionsDifferingInCase("PortSetting"))
    lookalikes.push_back(s->line);
  EXPECT_EQ(lookalikes, (std::vector<unsigned long>{2, 6}));
  EXPECT_EQ(lines.zeroByteLine, 0u);
  EXPECT_FALSE(readSettingsLines("[PortSetting]", 13).byteOrderMark);
  EXPECT_EQ(readSettingsLines("a=1\n\0\nb=2\n", 9).zeroByteLine, 2u);
}

}  // namespace
}  // namespace nTQVLKAET100
