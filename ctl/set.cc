// SPDX-License-Identifier: MIT
#include "ctl/set.h"

#include <iterator>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "ctl/check.h"
#include "ctl/exitStatus.h"
#include "ctl/jsonDocument.h"
#include "ctl/settingsSource.h"
#include "ctl/terminalText.h"
#include "device/aeProperties.h"
#include "settings/settingKey.h"
#include "settings/settingsLines.h"
#include "settings/unifiedDiff.h"
#include "settings/valueConversion.h"
#include "settings/valueText.h"

namespace nTQVLKAET100 {

namespace {

// A file that changes between our read and our lock is read again; one that
// keeps changing is trouble.
constexpr int kWriteAttempts = 5;

// The entry argument as a value to store, or why restore could not write it.
std::string parseEntry(const std::string& argument, tCapturedValue& value) {
  const std::size_t equals = argument.find('=');
  if (equals == std::string::npos) return "'" + argument + "' is not KEY=VALUE";
  const std::string key = argument.substr(0, equals);
  const std::string text = argument.substr(equals + 1);
  const std::optional<tSettingKey> parsed = readSettingKey(key);
  if (!parsed) {
    return "'" + key +
           "' is not <hex serial>_<decimal port>_<property> with serial and port within 32 bits "
           "and one of the port properties";
  }
  const tAeProperty& property = *findAeProperty(parsed->propertyId);
  if (property.id == kPropertyForceLinkDisable) {
    return "'" + key +
           "': forcelinkdisable is not set: restore clears it on every port after "
           "the entries";
  }
  value = tCapturedValue{
      parsed->serialNumber, parsed->port, property.id, property.usualSize, {0, 0, 0, 0}};
  if (!convertsSettingValue(settingValueText(text), property.usualSize, value.bytes)) {
    return "'" + text + "' is not a value restore writes to " + property.name +
           (property.usualSize == 4 ? " (a decimal number of 32 bits)" : " (one character)");
  }
  return "";
}

// The text of the file named by from, or of in for "-".
std::string readWhole(const std::string& from, std::istream& in) {
  if (from != "-") return *readSettingsSource(from).bytes;
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) throw tCtlTrouble("standard input cannot be read");
  return text;
}

// What set did with one entry: "changed", "added" or "already right".
struct tEntryOutcome {
  std::string key;
  std::string value;
  const char* outcome;
};

class tSet {
 public:
  tSet(const tSetOptions& options, std::istream& in, std::ostream& notices)
      : options_(options), in_(in), notices_(notices) {}

  int run(std::ostream& out) {
    const int status = decide();
    if (options_.json) {
      writeJson(out);
    } else {
      writeText(out);
    }
    return status;
  }

 private:
  int decide() {
    std::optional<std::string> whole;
    if (options_.from) whole = readWhole(*options_.from, in_);
    for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
      const tSettingsSource source = readSettingsSource(options_.file, notices_, true);
      path_ = source.path;
      const std::string old = source.bytes.value_or(std::string());
      const std::string base = whole.value_or(old);
      std::string bytes = base;
      if (!options_.entries.empty()) {
        const tStoreRewrite rewrite = rewriteSettings(base, options_.entries);
        if (rewrite.refusal != tRewriteRefusal::kNone) {
          check(base);
          refusals_.push_back(rewriteRefusalText(rewrite.refusal));
          summary_ = path_ + ": " + refusals_.back() + "; nothing written";
          return kCtlFound;
        }
        bytes = rewrite.bytes;
        judgeEntries(base, rewrite);
      }
      if (check(bytes) != kCtlClean) {
        summary_ =
            path_ + ": the new text has errors (line numbers of the new text); nothing written";
        return kCtlFound;
      }
      if (bytes == old) {
        outcome_ = "unchanged";
        summary_ = path_ + ": nothing to change: " + detail();
        return kCtlClean;
      }
      diff_ = unifiedDiff(old, bytes, path_, path_);
      if (options_.dryRun) {
        outcome_ = "dry run";
        summary_ = path_ + ": would write (dry run: nothing written): " + detail();
        return kCtlClean;
      }
      if (replaceSettingsSource(path_, old, bytes, notices_)) {
        outcome_ = "written";
        summary_ = path_ + ": written: " + detail();
        return kCtlClean;
      }
      entries_.clear();
    }
    throw tCtlTrouble(path_ + ": the file keeps changing while it is written");
  }

  // Each port property's outcome, with its last value as the rewrite stores
  // it, in the order first named.
  void judgeEntries(const std::string& base, const tStoreRewrite& all) {
    std::map<std::tuple<std::uint32_t, std::uint32_t, std::uint32_t>, std::size_t> index;
    std::vector<tCapturedValue> unique;
    for (const tCapturedValue& value : options_.entries) {
      const auto found = index.emplace(
          std::make_tuple(value.serialNumber, value.port, value.propertyId), unique.size());
      if (found.second) {
        unique.push_back(value);
      } else {
        unique[found.first->second] = value;
      }
    }
    for (const tCapturedValue& value : unique) {
      const tStoreRewrite one = rewriteSettings(base, {value});
      entries_.push_back(tEntryOutcome{
          settingKeyText(value.serialNumber, value.port, findAeProperty(value.propertyId)->name),
          valueText(value.bytes, value.size).text,
          one.changed ? "changed"
          : one.added ? "added"
                      : "already right"});
    }
    counts_ = std::to_string(all.changed) + " changed, " + std::to_string(all.added) + " added, " +
              std::to_string(all.alreadyRight) + " already right";
  }

  // check on text as the file at path: its findings kept; its exit status.
  int check(const std::string& text) {
    const tSettingsSource source{path_, text, readSettingsLines(text.data(), text.size())};
    const tCheckFindings findings = checkFindings(source, false);
    checkText_ = findings.text;
    problems_ = tJson::array();
    for (const tCheckProblem& problem : findings.problems) {
      problems_.push_back(tJson{{"line", lineOrNull(problem.line)},
                                {"severity", problem.severity},
                                {"message", problem.message}});
    }
    return findings.errors != 0 ? kCtlFound : kCtlClean;
  }

  std::string detail() const {
    if (!options_.entries.empty()) return counts_;
    return "the whole text of " + (*options_.from == "-" ? "standard input" : *options_.from);
  }

  void writeText(std::ostream& out) const {
    for (const std::string& refusal : refusals_) out << terminalText(refusal) << '\n';
    if (outcome_ == std::string("refused")) {
      out << checkText_;
    } else {
      for (const tEntryOutcome& entry : entries_) {
        out << entry.key << '=' << entry.value << ": " << entry.outcome << '\n';
      }
    }
    if (options_.dryRun) out << diff_;
    out << terminalText(summary_) << '\n';
  }

  void writeJson(std::ostream& out) const {
    tJson document;
    setBytes(document, "file", path_);
    document["outcome"] = outcome_;
    document["dryRun"] = options_.dryRun;
    if (options_.from) {
      setBytes(document, "from", *options_.from);
    } else {
      document["from"] = nullptr;
    }
    tJson& entries = document["entries"] = tJson::array();
    for (const tEntryOutcome& entry : entries_) {
      entries.push_back(
          tJson{{"key", entry.key}, {"value", entry.value}, {"outcome", entry.outcome}});
    }
    document["problems"] = problems_;
    document["refusals"] = refusals_;
    document["diff"] = diff_;
    document["summary"] = summary_;
    writeJsonDocument(out, document);
  }

  const tSetOptions& options_;
  std::istream& in_;
  std::ostream& notices_;
  std::string path_;
  const char* outcome_ = "refused";  // "written", "unchanged", "dry run", "refused"
  std::vector<tEntryOutcome> entries_;
  std::string counts_;
  std::vector<std::string> refusals_;
  std::string checkText_;
  tJson problems_ = tJson::array();
  std::string diff_;
  std::string summary_;
};

}  // namespace

tSetEntries parseSetEntries(const std::vector<std::string>& arguments) {
  tSetEntries entries;
  for (const std::string& argument : arguments) {
    tCapturedValue value{};
    entries.error = parseEntry(argument, value);
    if (!entries.error.empty()) return entries;
    entries.values.push_back(value);
  }
  return entries;
}

int runSet(const tSetOptions& options, std::istream& in, std::ostream& out, std::ostream& notices) {
  return tSet(options, in, notices).run(out);
}

}  // namespace nTQVLKAET100
