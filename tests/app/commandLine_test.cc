#include "app/commandLine.h"

#include <boost/lexical_cast.hpp>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "error/Exception.h"
#include "error/JsonStatus.h"
#include "settings/classicBoostError.h"

namespace nTQVLKAET100 {
namespace {

const char kDescription[] =
    "  -h [ --help ]         produce help message\n"
    "  -r [ --restore ]      write stored settings to the kernel\n"
    "\n";

struct OptionRun {
  int exitStatus;
  std::string out;
  std::string err;
  int restoreCalls;
};

OptionRun runWith(const std::vector<std::string>& words, const std::function<void()>& restore) {
  std::vector<const char*> argv{"tqvlkaepropinit"};
  for (const std::string& word : words) argv.push_back(word.c_str());
  std::ostringstream out;
  std::ostringstream err;
  int calls = 0;
  // What the restore work throws becomes its failure value, as the core's
  // steps make it, and the option mode reports that.
  const int status = runOptionMode(static_cast<int>(argv.size()), argv.data(), out, err, [&] {
    ++calls;
    tRestoreRun restoreRun;
    restoreRun.failure = captureFailure(restore);
    return restoreRun;
  });
  return OptionRun{status, out.str(), err.str(), calls};
}

OptionRun run(const std::vector<std::string>& words) {
  return runWith(words, [] {});
}

const std::string kMissingRestore =
    std::string("Parse error: Required option '--restore' not provided.\n") + kDescription;

TEST(OptionMode, CommandLines) {
  struct Case {
    std::vector<std::string> words;
    int exitStatus;
    std::string out;
    std::string err;
    int restoreCalls;
  } cases[] = {
      {{"-h"}, 1, kDescription, "", 0},
      {{"--help"}, 1, kDescription, "", 0},
      {{"--he"}, 1, kDescription, "", 0},
      {{"-hr"}, 1, kDescription, "", 0},
      {{"-r", "-h"}, 1, kDescription, "", 0},
      {{"--restore", "--help"}, 1, kDescription, "", 0},
      {{"foo"}, 1, "", kMissingRestore, 0},
      {{""}, 1, "", kMissingRestore, 0},
      {{"--"}, 1, "", kMissingRestore, 0},
      {{"-r"}, 0, "", "", 1},
      {{"--restore"}, 0, "", "", 1},
      {{"--rest"}, 0, "", "", 1},
      {{"-r", "foo"}, 0, "", "", 1},
      {{"foo", "-r"}, 0, "", "", 1},
      {{"-r", "-r"},
       1,
       "",
       std::string("Parse error: option '--restore' cannot be specified more than once\n") +
           kDescription,
       0},
      {{"--foo"},
       1,
       "",
       std::string("Parse error: unrecognised option '--foo'\n") + kDescription,
       0},
      {{"-x", "-r"},
       1,
       "",
       std::string("Parse error: unrecognised option '-x'\n") + kDescription,
       0},
      {{"--restore=1"},
       1,
       "",
       std::string("Parse error: option '--restore' does not take any arguments\n") + kDescription,
       0},
  };
  for (const Case& c : cases) {
    std::string label;
    for (const std::string& word : c.words) label += "[" + word + "]";
    const OptionRun result = run(c.words);
    EXPECT_EQ(result.exitStatus, c.exitStatus) << label;
    EXPECT_EQ(result.out, c.out) << label;
    EXPECT_EQ(result.err, c.err) << label;
    EXPECT_EQ(result.restoreCalls, c.restoreCalls) << label;
  }
}

[[noreturn]] void throwFailedStatus() {
  tqerr::JsonStatus status;
  tqerr::mergeCode(status, -52006);
  tqerr::setText(status, "{\"file\":\"tDeviceInterfaceProxy\",\"line\":46}");
  throw tqerr::Exception(status);
}

TEST(OptionMode, RestoreFailuresAreReportedOnOneLine) {
  struct Case {
    const char* name;
    std::function<void()> restore;
    std::string err;
  } cases[] = {
      {"status", throwFailedStatus,
       "Error (-52006): {\"file\":\"tDeviceInterfaceProxy\",\"line\":46}\n"},
      {"runtime_error", [] { throw std::runtime_error("Invalid token found in settings INI."); },
       "Exception (St13runtime_error): Invalid token found in settings INI.\n"},
      {"out_of_range", [] { throw std::out_of_range("map::at"); },
       "Exception (St12out_of_range): map::at\n"},
      {"conversion", [] { throwClassicBoostError(boost::bad_lexical_cast()); },
       "Exception (N5boost16exception_detail10clone_implINS0_19error_info_"
       "injectorINS_16bad_lexical_castEEEEE): bad lexical cast: source type value could not be "
       "interpreted as target\n"},
      {"unknown", [] { throw 42; },
       "Exception (unknown): the operation ended with an exception of unknown type\n"},
  };
  for (const Case& c : cases) {
    const OptionRun result = runWith({"-r"}, c.restore);
    EXPECT_EQ(result.exitStatus, 1) << c.name;
    EXPECT_EQ(result.out, "") << c.name;
    EXPECT_EQ(result.err, c.err) << c.name;
  }
}

}  // namespace
}  // namespace nTQVLKAET100
