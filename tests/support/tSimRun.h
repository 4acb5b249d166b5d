// SPDX-License-Identifier: MIT
// tSimRun: runs a program (by default the built tool) under the simulated
// driver, in a scoped temporary directory that holds the bench, the request
// log, the generated driver tree and anything a test writes there; the
// directory is removed when the tSimRun is destroyed.
//
// run() starts the program with posix_spawn and a clean environment (HOME,
// TMPDIR and XDG_CONFIG_HOME point into the directory; PATH and the
// sanitizer options are kept), waits at most the timeout, and returns the
// exit status, both output streams and the decoded log lines. When the
// environment variable TQ_TEST_WRAPPER holds a command (words separated by
// white space), the tool and its companion tqvlkaectl are run through it:
// TQ_TEST_WRAPPER="valgrind -q" runs them under valgrind; other programs are
// run as they are. Nothing here touches the host's /proc, /dev, /var or
// /etc: the simulator answers for /proc/driver/tq and the bench's nodes.
#ifndef TESTS_SUPPORT_TSIMRUN_H_
#define TESTS_SUPPORT_TSIMRUN_H_

#include <string>
#include <utility>
#include <vector>

namespace tqtest {

// The bench of the restore suites: tq0 (serial 1a5, two ports) and tq1
// (serial 2b7, three ports), one AE interface each.
inline constexpr char kTwoDeviceBench[] =
    "device tq0 serial=0x1a5 ports=2 pid=0x7c5\n"
    "interface tq0 ae_ae\\0 node=/dev/tqae0\n"
    "device tq1 serial=0x2b7 ports=3 pid=0x7c6\n"
    "interface tq1 ae_ae\\0 node=/dev/tqae1\n";

struct SimResult {
  int exitStatus = -1;  // the exit code, or 128 + signal number
  bool timedOut = false;
  std::string out;
  std::string err;
  std::vector<std::string> log;  // the simulator's log, one entry per line

  // The log lines that start with prefix, in order.
  std::vector<std::string> logStartingWith(const std::string& prefix) const;
};

struct SimOptions {
  std::string program;                                   // empty: the tool
  std::vector<std::pair<std::string, std::string>> env;  // added or replaced
  std::vector<std::string> preload;                      // libraries preloaded before the simulator
  std::string stdoutPath;  // empty: standard output is captured; else it goes there (/dev/full)
  int timeoutSeconds = 30;
};

class tSimRun {
 public:
  tSimRun();
  ~tSimRun();
  tSimRun(const tSimRun&) = delete;
  tSimRun& operator=(const tSimRun&) = delete;

  const std::string& dir() const { return dir_; }
  // Writes a file below dir(), creating its parent directories.
  std::string writeFile(const std::string& relative, const std::string& content) const;

  SimResult run(const std::string& bench, const std::vector<std::string>& args,
                const SimOptions& options = SimOptions()) const;

 private:
  std::string dir_;
};

}  // namespace tqtest

#endif  // TESTS_SUPPORT_TSIMRUN_H_
