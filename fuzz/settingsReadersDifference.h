// SPDX-License-Identifier: MIT
// The comparison of the two readers of the settings text, shared by the
// fuzz target settings_lines and the differential test: the tool's INI
// reader (parseSettingsText) against the line-aware reader
// (readSettingsLines) on the same bytes.
//
// They agree when both accept the text and hold the same top-level entries
// and sections, in the same order, with the same keys and values; or when both
// reject it with the same first message and line. Beyond that, the
// line-aware reader's own promises are held against the text and the INI
// reader: each entry and header is on the line it names; each further error
// is the one the INI reader reports once the lines of the earlier errors are
// comments; and with every bad line a comment, the INI reader accepts the
// text and yields exactly the line-aware reader's contents. Each bad line is
// checked on its own for the first kMaxErrorsCheckedOneByOne errors (the
// check reads the text once per error); the rest are checked together.
#ifndef FUZZ_SETTINGSREADERSDIFFERENCE_H_
#define FUZZ_SETTINGSREADERSDIFFERENCE_H_

#include <boost/property_tree/ini_parser.hpp>
#include <boost/property_tree/ptree.hpp>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/boostInternals.h"
#include "settings/loadSettingsFile.h"
#include "settings/settingsLines.h"

namespace tqfuzz {

constexpr std::size_t kMaxErrorsCheckedOneByOne = 32;

namespace readers {

using boost::property_tree::ptree;
using nTQVLKAET100::tSettingsEntry;
using nTQVLKAET100::tSettingsLines;
using nTQVLKAET100::tSettingsSection;
using nTQVLKAET100::tSettingsSyntaxError;

struct Outcome {
  std::optional<ptree> tree;  // set when the INI reader accepts the text
  tSettingsSyntaxError error{0, ""};
};

inline Outcome readWithIniReader(const std::string& text) {
  Outcome outcome;
  try {
    outcome.tree = nTQVLKAET100::parseSettingsText(text.data(), text.size());
  } catch (const boost::property_tree::ini_parser_error& error) {
    outcome.error = {error.line(), error.message()};
  }
  return outcome;
}

inline std::string describe(const tSettingsSyntaxError& error) {
  return "line " + std::to_string(error.line) + " \"" + error.message + "\"";
}

inline std::string trimmed(std::string_view text) {
  return nTQVLKAET100::iniReaderTrim(std::string(text), std::locale());
}

// The text split as the readers split it, line 1 first.
inline std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::string_view::size_type start = 0;
  for (;;) {
    const std::string_view::size_type end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    if (end == std::string_view::npos) return lines;
    start = end + 1;
  }
}

inline std::string joinLines(const std::vector<std::string_view>& lines) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i != 0) text += '\n';
    text.append(lines[i].data(), lines[i].size());
  }
  return text;
}

// The entries and headers sit on the lines they name, in rising order.
inline std::string placeDifference(const tSettingsLines& lines,
                                   const std::vector<std::string_view>& text) {
  unsigned long previous = 0;
  auto onItsLine = [&](unsigned long number, const std::string& what) -> std::string {
    if (number <= previous || number > text.size()) {
      return what + ": line " + std::to_string(number) + " out of order or past the end";
    }
    previous = number;
    return "";
  };
  auto entryPlace = [&](const tSettingsEntry& entry) -> std::string {
    std::string difference = onItsLine(entry.line, "entry " + entry.key);
    if (!difference.empty()) return difference;
    const std::string line = trimmed(text[entry.line - 1]);
    const std::string::size_type equals = line.find('=');
    if (equals == std::string::npos || trimmed(line.substr(0, equals)) != entry.key ||
        trimmed(line.substr(equals + 1)) != entry.value) {
      return "entry " + entry.key + " is not on its line " + std::to_string(entry.line);
    }
    return "";
  };
  for (const tSettingsEntry& entry : lines.topEntries) {
    const std::string difference = entryPlace(entry);
    if (!difference.empty()) return difference;
  }
  auto headerPlace = [&](const tSettingsSection& section) -> std::string {
    const std::string line =
        section.line - 1 < text.size() ? trimmed(text[section.line - 1]) : std::string();
    const std::string::size_type end = line.find(']');
    if (line.empty() || line[0] != '[' || end == std::string::npos ||
        trimmed(line.substr(1, end - 1)) != section.name) {
      return "section " + section.name + " is not on its line " + std::to_string(section.line);
    }
    return "";
  };
  for (const tSettingsSection& section : lines.emptySections) {
    if (!section.entries.empty()) return "the empty section " + section.name + " has entries";
    const std::string difference = headerPlace(section);
    if (!difference.empty()) return difference;
  }
  for (const tSettingsSection& section : lines.sections) {
    std::string difference = onItsLine(section.line, "section " + section.name);
    if (difference.empty()) difference = headerPlace(section);
    if (!difference.empty()) return difference;
    for (const tSettingsEntry& entry : section.entries) {
      difference = entryPlace(entry);
      if (!difference.empty()) return difference;
    }
  }
  return "";
}

// The INI reader's tree against the line-aware reader's contents.
inline std::string contentDifference(const ptree& tree, const tSettingsLines& lines) {
  if (!tree.data().empty()) return "the INI reader's root holds data";
  auto sameEntry = [](const ptree::value_type& node, const tSettingsEntry& entry) {
    return node.first == entry.key && node.second.data() == entry.value && node.second.empty();
  };
  const std::size_t count = lines.topEntries.size() + lines.sections.size();
  if (tree.size() != count) {
    return "INI reader: " + std::to_string(tree.size()) +
           " top-level items, lines reader: " + std::to_string(count);
  }
  auto node = tree.begin();
  for (const tSettingsEntry& entry : lines.topEntries) {
    if (!sameEntry(*node, entry)) {
      return "top-level entry on line " + std::to_string(entry.line) + " differs: \"" +
             node->first + "\" against \"" + entry.key + "\"";
    }
    ++node;
  }
  for (const tSettingsSection& section : lines.sections) {
    const ptree& children = node->second;
    if (node->first != section.name || !children.data().empty() ||
        children.size() != section.entries.size()) {
      return "section on line " + std::to_string(section.line) + " differs: [" + node->first +
             "] of " + std::to_string(children.size()) + " entries against [" + section.name +
             "] of " + std::to_string(section.entries.size());
    }
    auto child = children.begin();
    for (const tSettingsEntry& entry : section.entries) {
      if (!sameEntry(*child, entry)) {
        return "entry on line " + std::to_string(entry.line) + " differs: \"" + child->first +
               "\" = \"" + child->second.data() + "\" against \"" + entry.key + "\" = \"" +
               entry.value + "\"";
      }
      ++child;
    }
    ++node;
  }
  return "";
}

}  // namespace readers

// Empty when the readers agree on the bytes, else the first difference found.
inline std::string settingsReadersDifference(const char* bytes, std::size_t size) {
  using nTQVLKAET100::tSettingsLines;
  using nTQVLKAET100::tSettingsSyntaxError;
  using readers::describe;
  using readers::joinLines;
  using readers::Outcome;
  using readers::readWithIniReader;
  const std::string text(nTQVLKAET100::settingsText(bytes, size));
  const tSettingsLines lines = nTQVLKAET100::readSettingsLines(bytes, size);
  std::vector<std::string_view> split = readers::splitLines(text);
  if (const std::string difference = readers::placeDifference(lines, split); !difference.empty()) {
    return difference;
  }

  // Each error in turn, the lines of those before it made comments.
  const std::string_view comment = ";";
  std::string current = text;
  for (std::size_t i = 0; i < lines.errors.size() && i < kMaxErrorsCheckedOneByOne; ++i) {
    const tSettingsSyntaxError& expected = lines.errors[i];
    const Outcome outcome = readWithIniReader(current);
    if (outcome.tree) {
      return "the INI reader accepts what the lines reader rejects at " + describe(expected) +
             (i == 0 ? "" : " (earlier bad lines made comments)");
    }
    if (outcome.error.line != expected.line || outcome.error.message != expected.message) {
      return "INI reader: " + describe(outcome.error) + ", lines reader: " + describe(expected) +
             (i == 0 ? "" : " (earlier bad lines made comments)");
    }
    if (expected.line == 0 || expected.line > split.size()) {
      return "error " + describe(expected) + " past the end";
    }
    split[expected.line - 1] = comment;
    current = joinLines(split);
  }
  // Every bad line a comment: the INI reader accepts the rest and holds the
  // line-aware reader's contents.
  for (const tSettingsSyntaxError& error : lines.errors) {
    if (error.line == 0 || error.line > split.size()) {
      return "error " + describe(error) + " past the end";
    }
    split[error.line - 1] = comment;
  }
  const Outcome outcome = readWithIniReader(joinLines(split));
  if (!outcome.tree) {
    return "INI reader: " + describe(outcome.error) + ", lines reader: " +
           (lines.errors.empty() ? std::string("no error")
                                 : "no further error after its bad lines made comments");
  }
  return readers::contentDifference(*outcome.tree, lines);
}

}  // namespace tqfuzz

#endif  // FUZZ_SETTINGSREADERSDIFFERENCE_H_
