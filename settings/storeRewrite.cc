// SPDX-License-Identifier: MIT
#include "settings/storeRewrite.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <locale>
#include <map>
#include <new>
#include <optional>
#include <tuple>

#include "device/aeProperties.h"
#include "settings/portSettingSection.h"
#include "settings/settingKey.h"
#include "settings/settingsLines.h"
#include "settings/valueConversion.h"
#include "settings/valueText.h"

namespace nTQVLKAET100 {

namespace {

using tTriple = std::tuple<std::uint32_t, std::uint32_t, std::uint32_t>;

tTriple tripleOf(const tCapturedValue& value) {
  return {value.serialNumber, value.port, value.propertyId};
}

// A captured value that will be stored, with its settings text.
struct tStorable {
  tCapturedValue value;
  std::string text;
  bool placed = false;   // an existing entry took it
  bool changed = false;  // an existing entry held another value
};

// Whether restore converts the value text to exactly the captured bytes.
bool convertsTo(const std::string& rawValue, const tCapturedValue& value) {
  unsigned char bytes[4] = {0, 0, 0, 0};
  return convertsSettingValue(settingValueText(rawValue), value.size, bytes) &&
         std::memcmp(bytes, value.bytes, value.size) == 0;
}

// Where each line starts, as the readers count lines: one per '\n'.
std::vector<std::size_t> lineStarts(std::string_view text) {
  std::vector<std::size_t> starts{0};
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') starts.push_back(i + 1);
  }
  return starts;
}

// A change of the old text: [begin, end) becomes text.
struct tEdit {
  std::size_t begin;
  std::size_t end;
  std::string text;
};

class Rewriter {
 public:
  explicit Rewriter(std::string_view old) : old_(old), starts_(lineStarts(old)) {
    const std::size_t firstEnd = old.find('\n');
    if (firstEnd != std::string_view::npos && firstEnd > 0 && old[firstEnd - 1] == '\r') {
      lineEnd_ = "\r\n";
    }
  }

  // The value text of the entry on line number, as the reader trims it.
  void replaceValue(unsigned long number, const std::string& text) {
    const std::size_t lineBegin = starts_[number - 1];
    const std::size_t lineEnd = lineEndOf(number);
    std::size_t begin = old_.find('=', lineBegin) + 1;
    std::size_t end = lineEnd;
    while (begin < end && std::isspace(old_[begin], locale_)) ++begin;
    while (end > begin && std::isspace(old_[end - 1], locale_)) --end;
    edits_.push_back(tEdit{begin, end, text});
  }

  // Inserts lines after line number (0: at the very start).
  void insertAfter(unsigned long number, const std::vector<std::string>& newLines) {
    std::string block;
    if (number < starts_.size()) {
      for (const std::string& line : newLines) block += line + lineEnd_;
      edits_.push_back(tEdit{starts_[number], starts_[number], block});
      return;
    }
    // After the last line: one without a line end gets one first, and the
    // file keeps ending without one.
    const bool open = !old_.empty() && old_.back() != '\n';
    for (std::size_t i = 0; i < newLines.size(); ++i) {
      if (i > 0 || open) block += lineEnd_;
      block += newLines[i];
    }
    if (!open) block += lineEnd_;
    edits_.push_back(tEdit{old_.size(), old_.size(), block});
  }

  // The number of the last line (the empty one after a final line end
  // counts, as for the readers).
  unsigned long lastLine() const { return static_cast<unsigned long>(starts_.size()); }

  std::string result() {
    std::sort(edits_.begin(), edits_.end(),
              [](const tEdit& a, const tEdit& b) { return a.begin < b.begin; });
    std::string out;
    std::size_t at = 0;
    for (const tEdit& edit : edits_) {
      out.append(old_.substr(at, edit.begin - at));
      out += edit.text;
      at = edit.end;
    }
    out.append(old_.substr(at));
    return out;
  }

 private:
  std::size_t lineEndOf(unsigned long number) const {
    return number < starts_.size() ? starts_[number] - 1 : old_.size();
  }

  std::string_view old_;
  std::vector<std::size_t> starts_;
  std::string lineEnd_ = "\n";
  std::locale locale_;
  std::vector<tEdit> edits_;
};

// The captured values to store, in first-captured order with the last value
// of each port property, and what is left out.
std::vector<tStorable> storables(const std::vector<tCapturedValue>& captured,
                                 tStoreRewrite& rewrite) {
  std::map<tTriple, std::size_t> last;
  std::vector<tCapturedValue> unique;
  for (const tCapturedValue& value : captured) {
    const auto found = last.emplace(tripleOf(value), unique.size());
    if (found.second) {
      unique.push_back(value);
    } else {
      unique[found.first->second] = value;
    }
  }
  std::vector<tStorable> kept;
  for (const tCapturedValue& value : unique) {
    if (value.propertyId == kPropertyForceLinkDisable) {
      rewrite.forceLinkDisableLeftOut = true;
      continue;
    }
    tValueText text = valueText(value.bytes, value.size);
    if (findAeProperty(value.propertyId) == nullptr) {
      text.text.clear();
      text.reason = "the property is not one that restore writes";
    }
    if (text.storable()) {
      kept.push_back(tStorable{value, std::move(text.text)});
    } else {
      rewrite.leftOut.push_back(tLeftOutValue{value, std::move(text.reason)});
    }
  }
  return kept;
}

}  // namespace

const char* rewriteRefusalText(tRewriteRefusal refusal) {
  switch (refusal) {
    case tRewriteRefusal::kSyntaxError:
      return "the INI reader rejects the file (tqvlkaectl check shows why)";
    case tRewriteRefusal::kZeroByte:
      return "the file holds a zero byte, after which restore reads nothing";
    case tRewriteRefusal::kSectionNameTaken:
      return "an entry named PortSetting stands before every section, where the section "
             "would be added";
    case tRewriteRefusal::kNone:
      break;
  }
  return "";
}

tStoreRewrite rewriteSettings(std::string_view old, const std::vector<tCapturedValue>& captured,
                              bool addNew) {
  tStoreRewrite rewrite;
  const tSettingsLines lines = readSettingsLines(old.data(), old.size());
  if (!lines.errors.empty()) {
    rewrite.refusal = tRewriteRefusal::kSyntaxError;
    return rewrite;
  }
  if (lines.zeroByteLine != 0) {
    rewrite.refusal = tRewriteRefusal::kZeroByte;
    return rewrite;
  }
  std::vector<tStorable> values = storables(captured, rewrite);
  std::map<tTriple, std::size_t> index;
  for (std::size_t i = 0; i < values.size(); ++i) index[tripleOf(values[i].value)] = i;

  Rewriter rewriter(old);
  const tSettingsSection* section = lines.section(kPortSettingSection);
  if (section != nullptr) {
    for (const tSettingsEntry& entry : section->entries) {
      const std::optional<tSettingKey> key = readSettingKey(entry.key);
      if (!key) continue;  // restore fails on it; not a port property to store
      const auto found = index.find({key->serialNumber, key->port, key->propertyId});
      if (found == index.end()) continue;
      tStorable& value = values[found->second];
      value.placed = true;
      if (!convertsTo(entry.value, value.value)) {
        rewriter.replaceValue(entry.line, value.text);
        value.changed = true;
      }
    }
  }

  std::vector<std::string> newLines;
  for (const tStorable& value : values) {
    if (value.placed) {
      ++(value.changed ? rewrite.changed : rewrite.alreadyRight);
      continue;
    }
    if (!addNew) {
      ++rewrite.notInFile;
      continue;
    }
    ++rewrite.added;
    newLines.push_back(settingKeyText(value.value.serialNumber, value.value.port,
                                      findAeProperty(value.value.propertyId)->name) +
                       "=" + value.text);
  }
  if (!newLines.empty()) {
    if (section != nullptr) {
      rewriter.insertAfter(section->entries.back().line, newLines);
    } else {
      // The last empty "[PortSetting]" header takes the entries; a later
      // header of that name would otherwise repeat a kept section.
      unsigned long header = 0;
      for (const tSettingsSection& empty : lines.emptySections) {
        if (empty.name == kPortSettingSection) header = std::max(header, empty.line);
      }
      if (header == 0) {
        for (const tSettingsEntry& entry : lines.topEntries) {
          if (entry.key == kPortSettingSection) {
            rewrite.refusal = tRewriteRefusal::kSectionNameTaken;
            return rewrite;
          }
        }
        newLines.insert(newLines.begin(), "[" + std::string(kPortSettingSection) + "]");
        header = rewriter.lastLine();
      }
      rewriter.insertAfter(header, newLines);
    }
  }
  rewrite.bytes = rewriter.result();
  return rewrite;
}

}  // namespace nTQVLKAET100
