// SPDX-License-Identifier: MIT
#include "ctl/commandLine.h"

#include <boost/program_options.hpp>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "ctl/check.h"
#include "ctl/diff.h"
#include "ctl/exitStatus.h"
#include "ctl/propertyText.h"
#include "ctl/show.h"
#include "ctl/store.h"

namespace nTQVLKAET100 {

namespace po = boost::program_options;

namespace {

const char kUsage[] =
    "Usage: tqvlkaectl [-h] COMMAND [OPTIONS]\n"
    "\n"
    "Checks the settings file that tqvlkaepropinit --restore applies, shows and\n"
    "compares the port properties of the AE devices, and stores them into the\n"
    "file. Nothing is written to a device.\n"
    "\n"
    "Commands:\n"
    "  check [--live] [FILE]  report every problem restore would meet in FILE\n"
    "  show                   show every AE device and its port properties\n"
    "  diff [FILE]            compare the values restore would leave with the\n"
    "                         live ones\n"
    "  store [--dry-run] [--serial HEX]... [FILE]\n"
    "                         store the live values into FILE for restore\n"
    "\n"
    "FILE defaults to the settings file that restore reads. Every command takes\n"
    "-h, --help; check, show and diff take --json (output for scripts).\n"
    "\n"
    "Exit status: 0 nothing found (store: stored, or nothing to change); 1\n"
    "errors in the file, entries out of sync or properties refused (store:\n"
    "nothing written); 2 trouble (usage, a file that cannot be read or written,\n"
    "devices that cannot be listed).\n";

struct tCommand {
  const char* name;
  const char* usage;  // the synopsis and what the command does
  bool takesFile;
  bool takesLive;
  bool takesJson;
};

const tCommand kCommands[] = {
    {"check",
     "Usage: tqvlkaectl check [--live] [--json] [FILE]\n"
     "\n"
     "Reports every problem that restore would meet in FILE, one a line as\n"
     "FILE:LINE: error|warning: ..., the line at which restore would stop, and a\n"
     "summary. With --live the driver is asked, read-only, for each entry's\n"
     "device, port count and property size. Exit status 0 when no error is found\n"
     "(restore would run through), 1 when one is, 2 for trouble.\n",
     true, true, true},
    {"show",
     "Usage: tqvlkaectl show [--json]\n"
     "\n"
     "Shows every AE device and the current value of each port property, as the\n"
     "settings file would spell it. Exit status 0 when every value was read, 1\n"
     "when the driver refused one, 2 for trouble.\n",
     false, false, true},
    {"diff",
     "Usage: tqvlkaectl diff [--json] [FILE]\n"
     "\n"
     "Compares, entry by entry, the value restore would leave on the port (later\n"
     "entries win, then forcelinkdisable 0 on every port) with the live value.\n"
     "Exit status 0 when every entry is in sync (or names an absent device, which\n"
     "restore skips), 1 when one is not, 2 for trouble.\n",
     true, false, true},
    {"store",
     "Usage: tqvlkaectl store [--dry-run] [--serial HEX]... [FILE]\n"
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
     "changes), 1 when store refuses, 2 for trouble.\n",
     true, false, false},
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

int usageError(std::ostream& err, const std::string& where, const std::string& message) {
  err << where << ": " << message << "\nTry '" << where << " --help'.\n";
  return kCtlTrouble;
}

int runCommand(const tCommand& command, const std::vector<std::string>& args, std::ostream& out,
               std::ostream& err) {
  po::options_description options("Options");
  options.add_options()("help,h", "show this help");
  if (command.takesJson) options.add_options()("json", "write JSON for scripts");
  if (command.takesLive) {
    options.add_options()("live", "also ask the driver (read-only)");
  }
  const bool store = std::strcmp(command.name, "store") == 0;
  if (store) {
    options.add_options()("dry-run,n", "print the change as a unified diff; write nothing")(
        "serial", po::value<std::vector<std::string>>()->value_name("HEX"),
        "only the AE device with this serial (repeatable)");
  }
  po::options_description all;
  all.add(options);
  po::positional_options_description positional;
  if (command.takesFile) {
    all.add_options()("file", po::value<std::string>());
    positional.add("file", 1);
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
  const bool json = values.count("json") != 0;
  const std::string file = values.count("file") ? values["file"].as<std::string>() : "";
  if (command.takesFile && values.count("file") && file.empty()) {
    return usageError(err, where, "the file name is empty");
  }
  if (store) {
    tStoreOptions storeOptions{file, values.count("dry-run") != 0, {}};
    if (values.count("serial")) {
      for (const std::string& serial : values["serial"].as<std::vector<std::string>>()) {
        const std::optional<std::uint32_t> number = parseSerial(serial);
        if (!number) return usageError(err, where, "'" + serial + "' is not a hexadecimal serial");
        storeOptions.serials.push_back(*number);
      }
    }
    return runStore(storeOptions, out);
  }
  if (std::strcmp(command.name, "check") == 0) {
    return runCheck({file, values.count("live") != 0, json}, out);
  }
  if (std::strcmp(command.name, "show") == 0) return runShow({json}, out);
  return runDiff({file, json}, out);
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
      return kCtlClean;
    } else if (arg == "--json") {
      args.push_back(arg);  // for the command that follows
    } else if (!arg.empty() && arg[0] == '-') {
      return usageError(err, "tqvlkaectl", "unrecognised option '" + arg + "'");
    } else if ((command = findCommand(arg)) == nullptr) {
      return usageError(err, "tqvlkaectl", "unknown command '" + arg + "'");
    }
  }
  if (command == nullptr) return usageError(err, "tqvlkaectl", "no command given");
  const int status = runCommand(*command, args, out, err);
  errno = 0;
  out.flush();
  if (!out) {
    const int failure = errno != 0 ? errno : EIO;
    err << "tqvlkaectl: the output cannot be written: " << std::strerror(failure) << "\n";
    return kCtlTrouble;
  }
  return status;
}

}  // namespace

int runControl(int argc, const char* const argv[], std::ostream& out, std::ostream& err) {
  try {
    return parseAndRun(argc, argv, out, err);
  } catch (const tCtlTrouble& trouble) {
    err << "tqvlkaectl: " << trouble.what() << "\n";
  } catch (...) {
    err << "tqvlkaectl: " << restoreReport(std::current_exception()) << "\n";
  }
  out.flush();
  return kCtlTrouble;
}

}  // namespace nTQVLKAET100
