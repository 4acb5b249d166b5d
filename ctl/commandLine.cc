// SPDX-License-Identifier: MIT
#include "ctl/commandLine.h"

#include <boost/program_options.hpp>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "ctl/apply.h"
#include "ctl/check.h"
#include "ctl/diff.h"
#include "ctl/exitStatus.h"
#include "ctl/metrics.h"
#include "ctl/propertyText.h"
#include "ctl/runLock.h"
#include "ctl/set.h"
#include "ctl/show.h"
#include "ctl/store.h"
#include "ctl/terminalText.h"
#include "ctl/version.h"
#include "restore/failure.h"

namespace nTQVLKAET100 {

namespace po = boost::program_options;

namespace {

const char kUsage[] =
    "Usage: tqvlkaectl [-h] [--version] COMMAND [OPTIONS]\n"
    "\n"
    "Checks the settings file that tqvlkaepropinit --restore applies, shows and\n"
    "compares the port properties of the AE devices, stores them into the file,\n"
    "and applies the file to a running bench. Only apply writes to a device.\n"
    "\n"
    "Commands:\n"
    "  check [--live] [FILE]  report every problem restore would meet in FILE\n"
    "  show [--serial HEX]... show every AE device and its port properties\n"
    "  diff [--serial HEX]... [FILE]\n"
    "                         compare the values restore would leave with the\n"
    "                         live ones\n"
    "  store [--dry-run] [--existing-only] [--serial HEX]... [FILE]\n"
    "                         store the live values into FILE for restore\n"
    "  apply [--check] [--serial HEX]... [--verify-timeout SECONDS] [--no-wait] [FILE]\n"
    "                         write what differs from what restore would leave,\n"
    "                         read it back, put everything back on failure\n"
    "  metrics [--output FILE] [FILE]\n"
    "                         the bench against FILE as Prometheus metrics\n"
    "\n"
    "FILE defaults to the settings file that restore reads. Every command takes\n"
    "-h, --help, and all but metrics --json (output for scripts). --version\n"
    "prints the version.\n"
    "\n"
    "Exit status: 0 nothing found (store: stored, or nothing to change); 1\n"
    "errors in the file, entries out of sync or properties refused (store:\n"
    "nothing written); 2 trouble (usage, a file that cannot be read or written,\n"
    "devices that cannot be listed). apply: 0 at the target, 1 failed and put\n"
    "back, 2 refused before writing, 3 the rollback failed too. metrics: 0\n"
    "written, whatever the drift.\n";

// What a command's handler gets: the parsed options and its file.
struct tParsed {
  const po::variables_map& values;
  std::string file;
  bool json;
  std::vector<std::uint32_t> serials;
  std::optional<std::chrono::milliseconds> verifyTimeout;
};

// err is for what a command says while it runs (a wait for a lock).
using tHandler = int (*)(const tParsed& parsed, std::ostream& out, std::ostream& err);

// The options a command takes beyond -h, --help.
enum tOption : unsigned {
  kFile = 1,           // [FILE]
  kJson = 2,           // --json
  kLive = 4,           // --live
  kDryRun = 8,         // --dry-run, -n
  kSerial = 16,        // --serial HEX, repeatable
  kExistingOnly = 32,  // --existing-only
  kApply = 64,         // --check, --verify-timeout SECONDS, --no-wait
  kOutput = 128,       // --output FILE
  kSet = 256,          // --from SOURCE, [FILE] [KEY=VALUE]...
};

struct tCommand {
  const char* name;
  const char* usage;  // the synopsis and what the command does
  unsigned options;   // tOption bits
  tHandler handler;
};

int usageError(std::ostream& err, const std::string& where, const std::string& message);

const tCommand kCommands[] = {
    {"check",
     "Usage: tqvlkaectl check [--live] [--json] [FILE]\n"
     "\n"
     "Reports every problem that restore would meet in FILE, one a line as\n"
     "FILE:LINE: error|warning: ..., the line at which restore would stop, and a\n"
     "summary. With --live the driver is asked, read-only, for each entry's\n"
     "device, port count and property size, and for what the port pass needs.\n"
     "Exit status 0 when no error is found (restore would run through), 1 when\n"
     "one is, 2 for trouble.\n",
     kFile | kJson | kLive,
     [](const tParsed& parsed, std::ostream& out, std::ostream& err) {
       return runCheck({parsed.file, parsed.values.count("live") != 0, parsed.json}, out, err);
     }},
    {"show",
     "Usage: tqvlkaectl show [--json] [--serial HEX]...\n"
     "\n"
     "Shows every AE device (or those named with --serial) and the current value\n"
     "of each port property, as the settings file would spell it. Exit status 0\n"
     "when every value was read, 1 when the driver refused one, 2 for trouble.\n",
     kJson | kSerial,
     [](const tParsed& parsed, std::ostream& out, std::ostream&) {
       return runShow({parsed.json, parsed.serials}, out);
     }},
    {"diff",
     "Usage: tqvlkaectl diff [--json] [--serial HEX]... [FILE]\n"
     "\n"
     "Compares, entry by entry, the value restore would leave on the port (later\n"
     "entries win, then forcelinkdisable 0 on every port) with the live value;\n"
     "with --serial only the entries of those serials. Exit status 0 when every\n"
     "entry is in sync (or names an absent device, which restore skips), 1 when\n"
     "one is not, 2 for trouble.\n",
     kFile | kJson | kSerial,
     [](const tParsed& parsed, std::ostream& out, std::ostream& err) {
       return runDiff({parsed.file, parsed.json, parsed.serials}, out, err);
     }},
    {"store",
     "Usage: tqvlkaectl store [--dry-run] [--existing-only] [--json] [--serial HEX]... [FILE]\n"
     "\n"
     "Reads every port property that restore writes back, on every port of\n"
     "every AE device (or of those named with --serial), and stores the values\n"
     "into FILE, so that the next restore applies exactly them. Existing entries\n"
     "get the value in place, new ones are added to [PortSetting]; everything\n"
     "else in the file stays as it is. forcelinkdisable is not stored (restore\n"
     "clears it), nor a value that no settings line can carry (said so). The\n"
     "file is replaced whole under its lock, never half-written. Nothing is\n"
     "written when the driver refuses to read a property or when check finds an\n"
     "error in FILE. Exit status 0 when the values are stored (or nothing\n"
     "changes), 1 when store refuses, 2 for trouble. It says how many values\n"
     "changed, were added and were already right; with --existing-only it stores\n"
     "only the port properties that FILE already names.\n",
     kFile | kJson | kDryRun | kSerial | kExistingOnly,
     [](const tParsed& parsed, std::ostream& out, std::ostream& err) {
       // A store that writes waits for the run lock that apply holds.
       std::optional<tRunLock> lock;
       if (parsed.values.count("dry-run") == 0) lock.emplace(true, err);
       return runStore({parsed.file, parsed.values.count("dry-run") != 0, parsed.serials,
                        parsed.json, parsed.values.count("existing-only") != 0},
                       out, err);
     }},
    {"apply",
     "Usage: tqvlkaectl apply [--check] [--json] [--serial HEX]... [--verify-timeout SECONDS]\n"
     "                        [--no-wait] [FILE]\n"
     "\n"
     "Brings the bench to the state a whole restore of FILE would leave, as diff\n"
     "defines it: reads every property it may write, writes only those that\n"
     "differ (in restore's order), and reads each back until it holds or the\n"
     "verify timeout (default 2 s) passes. On a refused write, a value that does\n"
     "not hold, a device gone, or SIGINT, SIGTERM or SIGHUP, it writes back\n"
     "every value it changed, newest first, and reads each back. A file in which\n"
     "check --live finds errors is refused. Holds the run lock that store also\n"
     "takes; waits for it unless --no-wait. --check lists the writes and makes\n"
     "none. Exit status 0 when the bench is at the target (--check: nothing to\n"
     "change), 1 when apply failed and put everything back (--check: changes\n"
     "needed), 2 when it refused before writing, 3 when the rollback failed too.\n",
     kFile | kJson | kSerial | kApply,
     [](const tParsed& parsed, std::ostream& out, std::ostream& err) {
       tApplyOptions options;
       options.file = parsed.file;
       options.check = parsed.values.count("check") != 0;
       options.json = parsed.json;
       options.serials = parsed.serials;
       if (parsed.verifyTimeout) options.verifyTimeout = *parsed.verifyTimeout;
       options.wait = parsed.values.count("no-wait") == 0;
       return runApply(options, out, err);
     }},
    {"metrics",
     "Usage: tqvlkaectl metrics [--output FILE] [SETTINGS]\n"
     "\n"
     "Writes the state of the bench against SETTINGS in Prometheus' text format,\n"
     "for the node exporter's textfile collector: per port property that restore\n"
     "would set whether it holds that value (or could not be read), the devices\n"
     "present or missing, check's error count, and the boot unit's last restore.\n"
     "With --output the file is replaced whole (mode 0644), never half-written.\n"
     "Nothing is written to a device. Exit status 0 when the metrics are written,\n"
     "whatever they say, 2 for trouble.\n",
     kFile | kOutput,
     [](const tParsed& parsed, std::ostream& out, std::ostream&) {
       return runMetrics(
           {parsed.file,
            parsed.values.count("output") ? parsed.values["output"].as<std::string>() : ""},
           out);
     }},
    {"set",
     "Usage: tqvlkaectl set [--dry-run] [--json] [--from SOURCE] [FILE] [KEY=VALUE]...\n"
     "\n"
     "Sets entries of FILE's [PortSetting] section as store stores values: an\n"
     "entry that names the port property gets the value in place, a new one is\n"
     "added to [PortSetting], everything else stays byte for byte. Keys and\n"
     "values are read as restore reads them and written in store's spelling;\n"
     "forcelinkdisable is not set (restore clears it). --from replaces the whole\n"
     "text with SOURCE's (a file, or - for standard input); entries given as\n"
     "well are merged into it. The arguments with '=' are entries, the one\n"
     "without is FILE. The new text is checked first: an error refuses it, with\n"
     "the line numbers of the new text. A file that holds the new text already\n"
     "is left alone; otherwise it is replaced whole under its lock. It says per\n"
     "entry whether it changed, was added or was already right. Exit status 0\n"
     "when FILE holds the new text (or would, --dry-run), 1 when it is refused,\n"
     "2 for trouble.\n",
     kJson | kDryRun | kSet,
     [](const tParsed& parsed, std::ostream& out, std::ostream& err) {
       tSetOptions options;
       options.dryRun = parsed.values.count("dry-run") != 0;
       options.json = parsed.json;
       if (parsed.values.count("from")) options.from = parsed.values["from"].as<std::string>();
       std::vector<std::string> entries;
       if (parsed.values.count("argument")) {
         for (const std::string& argument :
              parsed.values["argument"].as<std::vector<std::string>>()) {
           if (argument.find('=') != std::string::npos) {
             entries.push_back(argument);
           } else if (options.file.empty() && !argument.empty()) {
             options.file = argument;
           } else {
             return usageError(
                 err, "tqvlkaectl set",
                 "'" + terminalText(argument) + "' is neither KEY=VALUE nor the one FILE");
           }
         }
       }
       const tSetEntries parsedEntries = parseSetEntries(entries);
       if (!parsedEntries.error.empty()) {
         return usageError(err, "tqvlkaectl set", terminalText(parsedEntries.error));
       }
       if (parsedEntries.values.empty() && !options.from) {
         return usageError(err, "tqvlkaectl set",
                           "nothing to set: give KEY=VALUE or --from SOURCE");
       }
       options.entries = parsedEntries.values;
       // A set that writes waits for the run lock that apply holds.
       std::optional<tRunLock> lock;
       if (!options.dryRun) lock.emplace(true, err);
       return runSet(options, std::cin, out, err);
     }},
};

const tCommand* findCommand(const std::string& name) {
  for (const tCommand& command : kCommands) {
    if (name == command.name) return &command;
  }
  return nullptr;
}

// A serial in hexadecimal, as settings keys and show write it ("0x" allowed).
std::optional<std::uint32_t> parseSerial(const std::string& text) {
  const bool prefixed = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string digits = text.substr(prefixed ? 2 : 0);
  if (digits.empty() || digits.size() > 8) return std::nullopt;
  std::uint32_t number = 0;
  for (const char digit : digits) {
    const char* const kDigits = "0123456789abcdef";
    const char* found = std::strchr(kDigits, std::tolower(static_cast<unsigned char>(digit)));
    if (digit == '\0' || found == nullptr) return std::nullopt;
    number = number * 16 + static_cast<std::uint32_t>(found - kDigits);
  }
  return number;
}

// The longest --verify-timeout: a value that has not taken by then will not.
constexpr int kMaxVerifySeconds = 600;

// A decimal number of seconds (fractions allowed), at most kMaxVerifySeconds.
std::optional<std::chrono::milliseconds> parseSeconds(const std::string& text) {
  if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos) {
    return std::nullopt;
  }
  char* end = nullptr;
  const double seconds = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !(seconds >= 0 && seconds <= kMaxVerifySeconds)) return std::nullopt;
  return std::chrono::milliseconds(static_cast<long>(seconds * 1000 + 0.5));
}

int usageError(std::ostream& err, const std::string& where, const std::string& message) {
  err << where << ": " << message << "\nTry '" << where << " --help'.\n";
  return kCtlTrouble;
}

int runCommand(const tCommand& command, const std::vector<std::string>& args, std::ostream& out,
               std::ostream& err) {
  po::options_description options("Options");
  options.add_options()("help,h", "show this help");
  if (command.options & kJson) options.add_options()("json", "write JSON for scripts");
  if (command.options & kLive) {
    options.add_options()("live", "also ask the driver (read-only)");
  }
  if (command.options & kDryRun) {
    options.add_options()("dry-run,n", "print the change as a unified diff; write nothing");
  }
  if (command.options & kSerial) {
    options.add_options()("serial", po::value<std::vector<std::string>>()->value_name("HEX"),
                          "only the AE device with this serial (repeatable)");
  }
  if (command.options & kExistingOnly) {
    options.add_options()("existing-only",
                          "store only the port properties that FILE already names");
  }
  if (command.options & kApply) {
    options.add_options()("check", "show the writes apply would make; write nothing")(
        "verify-timeout", po::value<std::string>()->value_name("SECONDS"),
        "how long a value may take to read back (default 2)")(
        "no-wait", "give up when another apply or store holds the run lock");
  }
  if (command.options & kOutput) {
    options.add_options()("output,o", po::value<std::string>()->value_name("FILE"),
                          "write to FILE, replacing it whole");
  }
  if (command.options & kSet) {
    options.add_options()("from", po::value<std::string>()->value_name("SOURCE"),
                          "the whole text: a file, or - for standard input");
  }
  po::options_description all;
  all.add(options);
  po::positional_options_description positional;
  if (command.options & kFile) {
    all.add_options()("file", po::value<std::string>());
    positional.add("file", 1);
  }
  if (command.options & kSet) {
    all.add_options()("argument", po::value<std::vector<std::string>>());
    positional.add("argument", -1);
  }
  po::variables_map values;
  const std::string where = std::string("tqvlkaectl ") + command.name;
  try {
    po::store(po::command_line_parser(args).options(all).positional(positional).run(), values);
  } catch (const po::error& error) {
    return usageError(err, where, error.what());
  }
  if (values.count("help")) {
    out << command.usage << "\n" << options;
    return kCtlClean;
  }
  tParsed parsed{values,
                 values.count("file") ? values["file"].as<std::string>() : "",
                 values.count("json") != 0,
                 {},
                 std::nullopt};
  if (values.count("file") && parsed.file.empty()) {
    return usageError(err, where, "the file name is empty");
  }
  if (values.count("output") && values["output"].as<std::string>().empty()) {
    return usageError(err, where, "the output file name is empty");
  }
  if (values.count("serial")) {
    for (const std::string& serial : values["serial"].as<std::vector<std::string>>()) {
      const std::optional<std::uint32_t> number = parseSerial(serial);
      if (!number) return usageError(err, where, "'" + serial + "' is not a hexadecimal serial");
      parsed.serials.push_back(*number);
    }
  }
  if (values.count("verify-timeout")) {
    const std::string text = values["verify-timeout"].as<std::string>();
    parsed.verifyTimeout = parseSeconds(text);
    if (!parsed.verifyTimeout) {
      return usageError(err, where,
                        "'" + text + "' is not a number of seconds from 0 to " +
                            std::to_string(kMaxVerifySeconds));
    }
  }
  return command.handler(parsed, out, err);
}

// status, or trouble when the output cannot be written (a full disk, a
// closed pipe): every output, the help included, must have reached it.
int flushed(std::ostream& out, std::ostream& err, int status) {
  errno = 0;
  out.flush();
  if (out) return status;
  const int failure = errno != 0 ? errno : EIO;
  err << "tqvlkaectl: the output cannot be written: " << std::strerror(failure) << "\n";
  return kCtlTrouble;
}

int parseAndRun(int argc, const char* const argv[], std::ostream& out, std::ostream& err) {
  std::vector<std::string> args;
  const tCommand* command = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (command != nullptr) {
      args.push_back(arg);
    } else if (arg == "-h" || arg == "--help") {
      out << kUsage;
      return flushed(out, err, kCtlClean);
    } else if (arg == "--version") {
      out << "tqvlkaectl " << kCtlVersion << "\n";
      return flushed(out, err, kCtlClean);
    } else if (arg == "--json") {
      args.push_back(arg);  // for the command that follows
    } else if (!arg.empty() && arg[0] == '-') {
      return usageError(err, "tqvlkaectl", "unrecognised option '" + arg + "'");
    } else if ((command = findCommand(arg)) == nullptr) {
      return usageError(err, "tqvlkaectl", "unknown command '" + arg + "'");
    }
  }
  if (command == nullptr) return usageError(err, "tqvlkaectl", "no command given");
  return flushed(out, err, runCommand(*command, args, out, err));
}

}  // namespace

int runControl(int argc, const char* const argv[], std::ostream& out, std::ostream& err) {
  try {
    return parseAndRun(argc, argv, out, err);
  } catch (const tCtlTrouble& trouble) {
    err << "tqvlkaectl: " << trouble.what() << "\n";
  } catch (...) {
    err << "tqvlkaectl: " << currentFailure().report << "\n";
  }
  out.flush();
  return kCtlTrouble;
}

}  // namespace nTQVLKAET100
