// The PortSetting scanner must accept and reject exactly what the INI reader
// accepts and rejects, with the same error text and type, and yield the same
// PortSetting entries in the same order. Each text is run through both.
#include <boost/property_tree/ini_parser.hpp>
#include <random>
#include <sstream>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "settings/classicBoostError.h"
#include "settings/portSettings.h"

namespace nTQVLKAET100 {
namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

struct Outcome {
  bool failed = false;
  std::string error;  // type name and text of the failure
  Entries entries;
};

std::string describe(const std::exception& error) {
  return std::string(typeid(error).name()) + ": " + error.what();
}

// What the restore sequence saw with the property tree: the children of the
// first top-level child named PortSetting.
Outcome withTree(const std::string& text) {
  Outcome outcome;
  try {
    std::istringstream stream(text);
    boost::property_tree::ptree tree;
    try {
      boost::property_tree::read_ini(stream, tree);
    } catch (const boost::property_tree::ini_parser_error& error) {
      throwClassicBoostError(error);
    }
    if (tree.find("PortSetting") == tree.not_found()) return outcome;
    for (const auto& entry : tree.get_child("PortSetting")) {
      outcome.entries.emplace_back(entry.first, entry.second.data());
    }
  } catch (const std::exception& error) {
    outcome.failed = true;
    outcome.error = describe(error);
  }
  return outcome;
}

Outcome withScanner(const std::string& text) {
  Outcome outcome;
  try {
    const tPortSettings settings(std::vector<char>(text.begin(), text.end()));
    for (const tPortSettingEntry& entry : settings.entries()) {
      outcome.entries.emplace_back(std::string(entry.key), std::string(entry.value));
    }
  } catch (const std::exception& error) {
    outcome.failed = true;
    outcome.error = describe(error);
  }
  return outcome;
}

void expectSameOutcome(const std::string& text) {
  const Outcome expected = withTree(text);
  const Outcome actual = withScanner(text);
  EXPECT_EQ(actual.failed, expected.failed) << "text: '" << text << "'";
  EXPECT_EQ(actual.error, expected.error) << "text: '" << text << "'";
  EXPECT_EQ(actual.entries, expected.entries) << "text: '" << text << "'";
}

TEST(PortSettings, AgreesWithTheIniReader) {
  const char* const texts[] = {
      "",
      "\n\n\n",
      "; comment\n# comment\n  ; indented comment\n",
      "[PortSetting]\n",
      "[PortSetting]\n1a5_0_linkspeed=1000\n1a5_1_linkspeed=\"10\"\n",
      "  [ PortSetting ]  trailing words\n  k  =  v  w  \n",
      "[PortSetting]\r\nk=v\r\nl=w\r\n",
      "[PortSetting]\n\tk\t=\v1\f\n",
      "[PortSetting]\nk=a=b;c # d\n",
      "[PortSetting]\nk=\n",
      "[PortSetting]\nk=1\nK=2\n",
      "[portsetting]\nk=1\n",
      "[PortSetting]\nk=1\nk=2\n",
      "[PortSetting]\nk=1\n[Other]\nk=2\n",
      "[Other]\nk=1\nk=2\n[PortSetting]\nk=1\n",
      "[PortSetting]\n[PortSetting]\nk=1\n",
      "[PortSetting]\nk=1\n[PortSetting]\nl=1\n",
      "[PortSetting]\nk=1\n[Other]\n[PortSetting]\n",
      "[A]\n[B]\n[A]\nx=1\n[PortSetting]\ny=2\n",
      "[A]\nx=1\n[B]\n[A]\n",
      "PortSetting=1\n",
      "PortSetting=1\n[PortSetting]\nk=1\n",
      "a=1\na=2\n",
      "a=1\n[a]\nk=1\n",
      "abc\n",
      "[PortSetting]\nk=1\nabc\n",
      "=x\n",
      "  =x\n",
      "=\n",
      "[abc\n",
      "[PortSetting]\nk=1\n[abc",
      "[]\nk=1\n[ ]\nl=1\n",
      "[PortSetting]\n\xa0k=1\xa0\n",
      "[PortSetting]\nk=1",
      "[PortSetting]\n#k=1\n;l=2\nm=3\n",
      "[Port]Setting]\nk=1\n",
  };
  for (const char* text : texts) expectSameOutcome(text);
}

// Random texts built from the pieces that matter to the grammar.
TEST(PortSettings, AgreesWithTheIniReaderOnRandomTexts) {
  const char* const pieces[] = {"[",  "]",  "=",  "PortSetting", "Other", "k",  "l",  " ", "\t",
                                "\n", "\n", "\n", ";",           "#",     "\r", "\"", "1"};
  std::mt19937 random(20261208);
  std::uniform_int_distribution<std::size_t> piece(0, sizeof pieces / sizeof pieces[0] - 1);
  std::uniform_int_distribution<int> length(0, 40);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    for (int i = length(random); i > 0; --i) text += pieces[piece(random)];
    expectSameOutcome(text);
    if (HasFailure()) return;
  }
}

TEST(PortSettings, SurvivesAMove) {
  const std::string text = "[PortSetting]\na=1\n";  // short enough for a small-string buffer
  tPortSettings settings(std::vector<char>(text.begin(), text.end()));
  const tPortSettings moved(std::move(settings));
  ASSERT_EQ(moved.entries().size(), 1u);
  EXPECT_EQ(moved.entries()[0].key, "a");
  EXPECT_EQ(moved.entries()[0].value, "1");
}

}  // namespace
}  // namespace nTQVLKAET100
