// What a rewrite of the settings file would change, shown as a unified diff
// of the old and the new text, in the form "diff -u" writes and "patch"
// applies: a "---" and a "+++" line naming the two texts, then hunks with 3
// lines of context. Lines end at '\n' (a "\r" before it is part of the
// line); a last line without a line end is followed by "\ No newline at end
// of file". The hunks are a shortest edit, found in memory linear in the
// number of lines, for texts of any size.
#ifndef SETTINGS_UNIFIEDDIFF_H_
#define SETTINGS_UNIFIEDDIFF_H_

#include <string>
#include <string_view>

namespace nTQVLKAET100 {

// Empty when the texts are equal.
std::string unifiedDiff(std::string_view oldText, std::string_view newText,
                        const std::string& oldLabel, const std::string& newLabel);

}  // namespace nTQVLKAET100

#endif  // SETTINGS_UNIFIEDDIFF_H_
