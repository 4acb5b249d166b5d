// The "PortSetting" entries of the settings text, without building a property
// tree of the whole file. A settings file can hold tens of thousands of
// entries, and a property tree spends some 300 bytes on each (two container
// nodes, a container and the key), so a 1 MiB file cost over 12 MiB. Here an
// entry is two views into the one text buffer.
//
// The text is checked exactly as the INI reader checks it (same rules, same
// error texts and line numbers, the same exception type), so a file that the
// reader rejects is rejected before any entry is applied.
#ifndef SETTINGS_PORTSETTINGS_H_
#define SETTINGS_PORTSETTINGS_H_

#include <string_view>
#include <vector>

namespace nTQVLKAET100 {

// One key line of the section: key and value trimmed as the INI reader trims
// them; quotes are still in the value.
struct tPortSettingEntry {
  std::string_view key;
  std::string_view value;
};

class tPortSettings {
 public:
  tPortSettings() = default;
  // Scans text (already cut at its first zero byte). Throws the INI reader's
  // error for a text that it would reject. The entries point into the text
  // held here: a move keeps the vector's buffer, a copy would not.
  explicit tPortSettings(std::vector<char> text);
  tPortSettings(const tPortSettings&) = delete;
  tPortSettings& operator=(const tPortSettings&) = delete;
  tPortSettings(tPortSettings&&) = default;
  tPortSettings& operator=(tPortSettings&&) = default;

  // The entries of the "PortSetting" section in file order; empty when the
  // text has no such section, or holds a top-level key of that name instead.
  const std::vector<tPortSettingEntry>& entries() const { return entries_; }

 private:
  std::vector<char> text_;
  std::vector<tPortSettingEntry> entries_;
};

}  // namespace nTQVLKAET100

#endif  // SETTINGS_PORTSETTINGS_H_
