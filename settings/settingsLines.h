// SPDX-License-Identifier: MIT
// The settings file as the INI reader sees it, with line numbers: for a
// checker that must point at the line of each problem, and report every
// syntax problem of the file rather than the first.
//
// What it promises, for the text that the restore sequence parses (the same
// bytes, cut at the first zero byte as parseSettingsText cuts them):
// - when the INI reader accepts the text, errors is empty, and topEntries and
//   sections hold exactly the reader's tree: the same keys, values, sections
//   and order. Lines are counted as the reader counts them: one per '\n', so
//   a "\r" before it is white space that trimming removes, and a lone "\r" is
//   part of its line.
// - when the reader rejects the text, errors.front() is the reader's error:
//   its own words and line. Reading then goes on under one rule: a line the
//   reader would reject is reported and then passed over as if it were a
//   comment, so the lines after it land in the section they would have landed
//   in without it. The further errors are those the reader would report if
//   the earlier bad lines were comments.
// A difference between the two readers on any input is a fault; a
// differential test and a fuzz target compare them.
#ifndef SETTINGS_SETTINGSLINES_H_
#define SETTINGS_SETTINGSLINES_H_

#include <cstddef>
#include <string>
#include <vector>

namespace nTQVLKAET100 {

// One "key = value" line.
struct tSettingsEntry {
  unsigned long line;
  // The key as the reader keys it: the text before the first '=', white
  // space trimmed; the key grammar applies to it unchanged.
  std::string key;
  // The value as the reader stores it: the text after the first '=', white
  // space trimmed, double quotes kept (restore removes them before the
  // conversion: settingValueText).
  std::string value;
};

// A "[name]" header and the entries under it, in file order.
struct tSettingsSection {
  unsigned long line;
  // The text between '[' and the first ']', trimmed; whatever follows the
  // ']' on its line is ignored, as by the reader.
  std::string name;
  std::vector<tSettingsEntry> entries;
};

// A line the INI reader rejects, in its own words ("unmatched '['",
// "duplicate key name", ...).
struct tSettingsSyntaxError {
  unsigned long line;
  std::string message;
};

struct tSettingsLines {
  // The text starts with a UTF-8 byte-order mark, which the reader takes for
  // part of the first line.
  bool byteOrderMark = false;
  // The line of the zero byte at which the text ends (what follows it is
  // never read), 0 when the text has none.
  unsigned long zeroByteLine = 0;
  // Entries before the first section header (the reader keeps them at the
  // top of its tree; restore never reads them).
  std::vector<tSettingsEntry> topEntries;
  // The sections the reader keeps: those with at least one entry.
  std::vector<tSettingsSection> sections;
  // Headers the reader drops because no entry follows them before the next
  // header or the end (an empty "[PortSetting]" among them applies nothing).
  std::vector<tSettingsSection> emptySections;
  // Every syntax problem, in line order; the first is what the reader throws.
  std::vector<tSettingsSyntaxError> errors;

  // The kept section of exactly that name, as restore looks it up, or null.
  const tSettingsSection* section(const std::string& name) const;
  // Headers, kept or empty, whose name equals name in all but ASCII letter
  // case (a "[portsetting]" that restore does not read), in file order.
  std::vector<const tSettingsSection*> sectionsDifferingInCase(const std::string& name) const;
};

// Reads the settings text as parseSettingsText does (up to the first zero
// byte or size bytes); never throws but std::bad_alloc.
tSettingsLines readSettingsLines(const char* bytes, std::size_t size);

}  // namespace nTQVLKAET100

#endif  // SETTINGS_SETTINGSLINES_H_
