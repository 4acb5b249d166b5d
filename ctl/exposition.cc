// SPDX-License-Identifier: MIT
#include "ctl/exposition.h"

#include <cmath>
#include <cstdio>

namespace nTQVLKAET100 {

namespace {

std::string escaped(const std::string& text, bool quote) {
  std::string result;
  result.reserve(text.size());
  for (const char c : text) {
    if (c == '\\') {
      result += "\\\\";
    } else if (c == '\n') {
      result += "\\n";
    } else if (c == '"' && quote) {
      result += "\\\"";
    } else {
      result += c;
    }
  }
  return result;
}

// Integers as integers (counts, seconds), anything else with every digit
// a double needs.
std::string numberText(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "+Inf" : "-Inf";
  char buffer[32];
  if (value == std::trunc(value) && std::fabs(value) < 1e15) {
    std::snprintf(buffer, sizeof buffer, "%.0f", value);
  } else {
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
  }
  return buffer;
}

}  // namespace

std::string escapeLabelValue(const std::string& value) {
  return escaped(value, true);
}

void writeExposition(std::ostream& out, const std::vector<tMetricFamily>& families) {
  for (const tMetricFamily& family : families) {
    if (family.samples.empty()) continue;
    out << "# HELP " << family.name << ' ' << escaped(family.help, false) << '\n'
        << "# TYPE " << family.name << ' ' << family.type << '\n';
    for (const tMetricSample& sample : family.samples) {
      out << family.name;
      const char* separator = "{";
      for (const auto& [label, value] : sample.labels) {
        out << separator << label << "=\"" << escapeLabelValue(value) << '"';
        separator = ",";
      }
      if (!sample.labels.empty()) out << '}';
      out << ' ' << numberText(sample.value) << '\n';
    }
  }
}

}  // namespace nTQVLKAET100
