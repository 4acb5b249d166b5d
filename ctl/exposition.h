// SPDX-License-Identifier: MIT
// Prometheus' text exposition format, as the node exporter's textfile
// collector reads it: per family a "# HELP" line, a "# TYPE" line and its
// samples, "name{label="value",...} number", without timestamps (the
// collector refuses them). Label values are escaped as the format requires
// (backslash, double quote and line feed as \\, \" and \n), HELP texts
// likewise (backslash and line feed); names are the caller's, which must be
// valid metric and label names. A family without samples is left out whole.
#ifndef CTL_EXPOSITION_H_
#define CTL_EXPOSITION_H_

#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace nTQVLKAET100 {

using tLabels = std::vector<std::pair<std::string, std::string>>;

struct tMetricSample {
  tLabels labels;
  double value = 0;
};

struct tMetricFamily {
  std::string name;
  std::string help;
  std::string type;  // "gauge"
  std::vector<tMetricSample> samples;
};

// A label value as it stands between the double quotes.
std::string escapeLabelValue(const std::string& value);

void writeExposition(std::ostream& out, const std::vector<tMetricFamily>& families);

}  // namespace nTQVLKAET100

#endif  // CTL_EXPOSITION_H_
