// SPDX-License-Identifier: MIT
#include "settings/storeRewrite.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <locale>
#include <map>
#include <new>
#include <tuple>

#include "device/aeProperties.h"
#include "settings/restoreSettings.h"
#include "settings/settingKey.h"
#include "settings/settingsLines.h"
#include "settings/valueConversion.h"

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
  bool placed = false;  // an existing entry took it
};

std::string hexByte(unsigned char byte) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", byte);
  return text;
}

// The settings text of a captured value, or empty with the reason why no
// line carries it.
std::string valueText(const tCapturedValue& value, std::string& reason) {
  if (value.size == 4) {
    std::uint32_t number = 0;
    std::memcpy(&number, value.bytes, sizeof number);
    return std::to_string(number);
  }
  if (value.size != 1) {
    reason = "restore writes values of 1 or 4 bytes, not " + std::to_string(value.size);
    return std::string();
  }
  const unsigned char byte = value.bytes[0];
  if (byte == 0) {
    reason = "a zero byte cannot be written in a settings line";
  } else if (byte < 0x20 || byte == 0x7F) {
    reason = "a control character (" + hexByte(byte) + ") cannot be written in a settings line";
  } else if (byte > 0x7F) {
    reason = "a byte above 0x7E (" + hexByte(byte) + ") cannot be written in a settings line";
  } else if (byte == '"') {
    reason = "a double quote cannot be stored: restore removes it from every value";
  } else if (byte == ' ') {
    // The reader trims white space around the value; restore drops quotes.
    return "\" \"";
  } else {
    return std::string(1, static_cast<char>(byte));
  }
  return std::string();
}

// Whether restore converts the value text to exactly the captured bytes.
bool convertsTo(const std::string& rawValue, const tCapturedValue& value) {
  unsigned char bytes[4] = {0, 0, 0, 0};
  try {
    convertSettingValue(settingValueText(rawValue), value.size, bytes);
  } catch (const std::bad_alloc&) {
    throw;
  } catch (...) {
    return false;
  }
  return std::memcmp(bytes, value.bytes, value.size) == 0;
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

std::string newKey(const tCapturedValue& value, const char* name) {
  char prefix[32];
  std::snprintf(prefix, sizeof prefix, "%x_%u_", value.serialNumber, value.port);
  return prefix + std::string(name);
}

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
    std::string reason = "the property is not one that restore writes";
    std::string text =
        findAeProperty(value.propertyId) != nullptr ? valueText(value, reason) : std::string();
    if (text.empty()) {
      rewrite.leftOut.push_back(tLeftOutValue{value, reason});
    } else {
      kept.push_back(tStorable{value, std::move(text)});
    }
  }
  return kept;
}

}  // namespace

tStoreRewrite rewriteSettings(std::string_view old, const std::vector<tCapturedValue>& captured) {
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
      tSettingKey key{0, 0, 0};
      try {
        key = parseSettingKey(entry.key);
      } catch (const std::bad_alloc&) {
        throw;
      } catch (...) {
        continue;  // restore fails on it; not a port property to store
      }
      const auto found = index.find({key.serialNumber, key.port, key.propertyId});
      if (found == index.end()) continue;
      tStorable& value = values[found->second];
      value.placed = true;
      if (!convertsTo(entry.value, value.value)) rewriter.replaceValue(entry.line, value.text);
    }
  }

  std::vector<std::string> newLines;
  for (const tStorable& value : values) {
    if (value.placed) continue;
    newLines.push_back(newKey(value.value, findAeProperty(value.value.propertyId)->name) + "=" +
                       value.text);
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
