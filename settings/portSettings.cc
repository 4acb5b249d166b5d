#include "settings/portSettings.h"

#include <boost/property_tree/ini_parser.hpp>
#include <unordered_set>
#include <utility>

#include "settings/classicBoostError.h"

namespace nTQVLKAET100 {

namespace {

constexpr std::string_view kPortSettingSection = "PortSetting";

// White space of the classic locale, the reader's locale: the tool never
// changes it.
bool isClassicSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view trim(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && isClassicSpace(text[begin])) ++begin;
  while (end > begin && isClassicSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

[[noreturn]] void reject(const char* message, unsigned long line) {
  throwClassicBoostError(boost::property_tree::ini_parser::ini_parser_error(message, "", line));
}

}  // namespace

tPortSettings::tPortSettings(std::vector<char> text) : text_(std::move(text)) {
  const std::string_view all(text_.data(), text_.size());
  // Names at the top level: the keys before the first section and the
  // sections that are kept. A section that ends without keys is dropped, so
  // its name may come again.
  std::unordered_set<std::string_view> topLevel;
  std::unordered_set<std::string_view> sectionKeys;
  bool inSection = false;
  bool sectionHasKeys = false;
  bool collecting = false;
  std::string_view section;

  unsigned long lineNumber = 0;
  std::size_t begin = 0;
  while (begin <= all.size()) {
    ++lineNumber;
    std::size_t end = all.find('\n', begin);
    if (end == std::string_view::npos) end = all.size();
    const std::string_view line = trim(all.substr(begin, end - begin));
    begin = end + 1;

    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      if (inSection && !sectionHasKeys) topLevel.erase(section);
      const std::size_t close = line.find(']');
      if (close == std::string_view::npos) reject("unmatched '['", lineNumber);
      section = trim(line.substr(1, close - 1));
      if (!topLevel.insert(section).second) reject("duplicate section name", lineNumber);
      inSection = true;
      sectionHasKeys = false;
      sectionKeys.clear();
      collecting = section == kPortSettingSection;
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) reject("'=' character not found in line", lineNumber);
    if (equals == 0) reject("key expected", lineNumber);
    const std::string_view key = trim(line.substr(0, equals));
    std::unordered_set<std::string_view>& container = inSection ? sectionKeys : topLevel;
    if (!container.insert(key).second) reject("duplicate key name", lineNumber);
    sectionHasKeys = inSection;
    if (collecting) entries_.push_back(tPortSettingEntry{key, trim(line.substr(equals + 1))});
  }
}

}  // namespace nTQVLKAET100
