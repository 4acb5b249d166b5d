// SPDX-License-Identifier: MIT
#include "settings/settingsLines.h"

#include <algorithm>
#include <locale>
#include <set>
#include <string_view>

#include "settings/boostInternals.h"
#include "settings/loadSettingsFile.h"

namespace nTQVLKAET100 {

namespace {

// The reader's own trimming (white space of the stream's locale, which is
// the global one when parseSettingsText builds its stream).
std::string trim(const std::string& text, const std::locale& locale) {
  return iniReaderTrim(text, locale);
}

bool equalIgnoringAsciiCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// The reader's steps for one line at a time, on the tree it would build: the
// top-level names (keys before the first header and section names) and the
// keys of the open section, which it must not repeat.
class LineReader {
 public:
  explicit LineReader(tSettingsLines& result) : result_(result) {}

  void read(unsigned long number, const std::string& text) {
    const std::string line = trim(text, locale_);
    if (line.empty() || line[0] == ';' || line[0] == '#') return;
    if (line[0] == '[') {
      header(number, line);
    } else {
      entry(number, line);
    }
  }

  // The reader drops the last section when nothing followed its header.
  void finish() { dropOpenSectionIfEmpty(); }

 private:
  void header(unsigned long number, const std::string& line) {
    const std::string::size_type end = line.find(']');
    if (end == std::string::npos) return fail(number, "unmatched '['");
    std::string name = trim(line.substr(1, end - 1), locale_);
    // The open section, if empty, is dropped before the name is looked up.
    const tSettingsSection* current = open();
    const bool dropsOpen = current && current->entries.empty();
    if (topNames_.count(name) != 0 && !(dropsOpen && name == current->name)) {
      return fail(number, "duplicate section name");
    }
    dropOpenSectionIfEmpty();
    topNames_.insert(name);
    result_.sections.push_back(tSettingsSection{number, std::move(name), {}});
    sectionOpen_ = true;
    openKeys_.clear();
  }

  void entry(unsigned long number, const std::string& line) {
    const std::string::size_type equals = line.find('=');
    if (equals == std::string::npos) return fail(number, "'=' character not found in line");
    if (equals == 0) return fail(number, "key expected");
    std::string key = trim(line.substr(0, equals), locale_);
    std::string value = trim(line.substr(equals + 1), locale_);
    std::set<std::string>& keys = sectionOpen_ ? openKeys_ : topNames_;
    if (!keys.insert(key).second) return fail(number, "duplicate key name");
    std::vector<tSettingsEntry>& entries = sectionOpen_ ? open()->entries : result_.topEntries;
    entries.push_back(tSettingsEntry{number, std::move(key), std::move(value)});
  }

  // The section that entries go to: the last header's, null before one.
  tSettingsSection* open() { return sectionOpen_ ? &result_.sections.back() : nullptr; }

  void dropOpenSectionIfEmpty() {
    tSettingsSection* current = open();
    if (!current || !current->entries.empty()) return;
    topNames_.erase(current->name);
    result_.emptySections.push_back(std::move(*current));
    result_.sections.pop_back();
    sectionOpen_ = false;
  }

  // The bad line is passed over as if it were a comment.
  void fail(unsigned long number, const char* message) {
    result_.errors.push_back(tSettingsSyntaxError{number, message});
  }

  tSettingsLines& result_;
  const std::locale locale_;
  std::set<std::string> topNames_;
  std::set<std::string> openKeys_;
  bool sectionOpen_ = false;
};

}  // namespace

const tSettingsSection* tSettingsLines::section(const std::string& name) const {
  for (const tSettingsSection& s : sections) {
    if (s.name == name) return &s;
  }
  return nullptr;
}

std::vector<const tSettingsSection*> tSettingsLines::sectionsDifferingInCase(
    const std::string& name) const {
  std::vector<const tSettingsSection*> found;
  for (const auto* list : {&sections, &emptySections}) {
    for (const tSettingsSection& s : *list) {
      if (s.name != name && equalIgnoringAsciiCase(s.name, name)) found.push_back(&s);
    }
  }
  std::sort(found.begin(), found.end(),
            [](const tSettingsSection* a, const tSettingsSection* b) { return a->line < b->line; });
  return found;
}

tSettingsLines readSettingsLines(const char* bytes, std::size_t size) {
  const std::string_view text = settingsText(bytes, size);
  tSettingsLines result;
  result.byteOrderMark = text.substr(0, 3) == "\xEF\xBB\xBF";
  LineReader reader(result);
  // Lines as std::getline splits them: at each '\n'; a '\n' at the very end
  // is followed by one more, empty, line.
  unsigned long number = 0;
  std::string_view::size_type start = 0;
  for (;;) {
    ++number;
    const std::string_view::size_type end = text.find('\n', start);
    reader.read(number, std::string(text.substr(start, end - start)));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  reader.finish();
  if (text.size() < size) result.zeroByteLine = number;
  return result;
}

}  // namespace nTQVLKAET100
