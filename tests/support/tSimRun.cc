// SPDX-License-Identifier: MIT
#include "tests/support/tSimRun.h"

#include <fcntl.h>
#include <ftw.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "tests/support/files.h"

namespace tqtest {
namespace {

int removeEntry(const char* path, const struct stat*, int, struct FTW*) {
  return ::remove(path);
}

void makeParents(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    ::mkdir(path.substr(0, slash).c_str(), 0755);
  }
}

std::string withLinkOrderCheckOff(const char* options) {
  std::string value = options != nullptr ? options : "";
  if (value.find("verify_asan_link_order") == std::string::npos)
    value += (value.empty() ? "" : ":") + std::string("verify_asan_link_order=0");
  return value;
}

// The words of TQ_TEST_WRAPPER, the command that runs the tool when it is
// set (for example valgrind and its options): the tool stays free of test
// hooks and the whole run is watched.
std::vector<std::string> toolWrapper() {
  std::vector<std::string> words;
  const char* wrapper = std::getenv("TQ_TEST_WRAPPER");
  std::istringstream text(wrapper != nullptr ? wrapper : "");
  for (std::string word; text >> word;) words.push_back(word);
  return words;
}

}  // namespace

std::vector<std::string> SimResult::logStartingWith(const std::string& prefix) const {
  std::vector<std::string> lines;
  for (const auto& line : log)
    if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line);
  return lines;
}

tSimRun::tSimRun() {
  const char* base = std::getenv("TMPDIR");
  std::string templ = std::string(base != nullptr && *base != 0 ? base : "/tmp") + "/tqrun.XXXXXX";
  std::vector<char> name(templ.begin(), templ.end());
  name.push_back(0);
  if (mkdtemp(name.data()) == nullptr) throw std::runtime_error("mkdtemp " + templ);
  dir_ = name.data();
}

tSimRun::~tSimRun() {
  nftw(dir_.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}

std::string tSimRun::writeFile(const std::string& relative, const std::string& content) const {
  std::string path = dir_ + "/" + relative;
  makeParents(path);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  if (!out) throw std::runtime_error("cannot write " + path);
  return path;
}

SimResult tSimRun::run(const std::string& bench, const std::vector<std::string>& args,
                       const SimOptions& options) const {
  // Each run gets fresh log and output files, so one tSimRun can run twice.
  static int counter = 0;
  const std::string tag = std::to_string(++counter);
  const std::string benchPath = writeFile("bench" + tag + ".txt", bench);
  const std::string logPath = dir_ + "/log" + tag;
  const std::string outPath = dir_ + "/out" + tag;
  const std::string errPath = dir_ + "/err" + tag;

  std::string preload;
  for (const auto& lib : options.preload) preload += lib + ":";
  preload += TQ_SIM_LIBRARY;
  std::vector<std::pair<std::string, std::string>> env = {
      {"PATH", "/usr/bin:/bin"},
      {"HOME", dir_},
      {"TMPDIR", dir_},
      {"XDG_CONFIG_HOME", dir_ + "/config"},
      {"LC_ALL", "C"},
      {"ASAN_OPTIONS", withLinkOrderCheckOff(std::getenv("ASAN_OPTIONS"))},
      {"TQSIM_BENCH", benchPath},
      {"TQSIM_LOG", logPath},
      {"TQSIM_DIR", dir_},
      {"LD_PRELOAD", preload}};
  if (const char* ubsan = std::getenv("UBSAN_OPTIONS")) env.emplace_back("UBSAN_OPTIONS", ubsan);
  for (const auto& [key, value] : options.env) {
    bool replaced = false;
    for (auto& e : env) {
      if (e.first == key) {
        e.second = value;
        replaced = true;
      }
    }
    if (!replaced) env.emplace_back(key, value);
  }
  std::vector<std::string> envText;
  for (const auto& [key, value] : env) envText.push_back(key + "=" + value);
  std::vector<char*> envp;
  for (auto& e : envText) envp.push_back(&e[0]);
  envp.push_back(nullptr);

  std::string program = options.program.empty() ? TQ_TOOL_PATH : options.program;
  std::vector<std::string> argText = {program};
  argText.insert(argText.end(), args.begin(), args.end());
  if (program == TQ_TOOL_PATH || program == TQ_CTL_PATH) {
    const std::vector<std::string> wrapper = toolWrapper();
    if (!wrapper.empty()) {
      argText.insert(argText.begin(), wrapper.begin(), wrapper.end());
      program = wrapper.front();
    }
  }
  std::vector<char*> argv;
  for (auto& a : argText) argv.push_back(&a[0]);
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(
      &actions, 1, options.stdoutPath.empty() ? outPath.c_str() : options.stdoutPath.c_str(),
      O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  pid_t pid = -1;
  int rc = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("posix_spawn " + program + " failed");

  SimResult result;
  int status = 0;
  const long limitMs = options.timeoutSeconds * 1000L;
  for (long waitedMs = 0;; waitedMs += 5) {
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (waitedMs >= limitMs) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      result.timedOut = true;
      break;
    }
    usleep(5 * 1000);
  }
  if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.exitStatus = 128 + WTERMSIG(status);
  result.out = readFile(outPath);
  result.err = readFile(errPath);
  result.log = readLines(logPath);
  return result;
}

}  // namespace tqtest
