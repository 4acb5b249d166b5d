// SPDX-License-Identifier: MIT
// libtqsim: the simulated driver, preloaded into an unmodified tool. It shows
// a generated tree in place of /proc/driver/tq, turns opens of the bench's
// device nodes into descriptors that it answers ioctl on, injects the
// bench's faults at the system boundary, and logs every request.
//
// Environment: TQSIM_BENCH (bench file; without it nothing is simulated),
// TQSIM_LOG (request log, appended), TQSIM_DIR (where the tree is built,
// default $TMPDIR or /tmp), TQSIM_KEEP=1 (leave the tree behind at exit).
// A state file that cannot be kept stops the program as a bad bench does.
// The tool is single-threaded, so the state below is not locked.
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <ftw.h>
#include <glob.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sim/bench.h"
#include "sim/driver.h"
#include "sim/state.h"

// Not zero while the simulator runs code of its own: a library preloaded
// beside it to fail the program's allocations leaves these alone, so the
// bench, the tree and the log stay whole.
extern "C" {
__attribute__((visibility("default"))) int tqsim_busy = 0;
}

namespace {

struct Busy {
  Busy() { ++tqsim_busy; }
  ~Busy() { --tqsim_busy; }
  Busy(const Busy&) = delete;
  Busy& operator=(const Busy&) = delete;
};

const char kProcRoot[] = "/proc/driver/tq";

struct Node {
  std::string device;
  std::string interface;
};

struct State {
  std::unique_ptr<tqsim::Driver> driver;
  std::string root;  // the generated tree; root + "/tq" stands for kProcRoot
  bool keep = false;
  int logFd = -1;
  std::map<int, Node> nodes;         // descriptors of simulated nodes
  std::map<int, std::string> files;  // every descriptor the tool opened, by path
};

State* g_state = nullptr;  // null until the bench is loaded: pass everything through

template <typename F>
F next(const char* name) {
  Busy busy;
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}
#define TQSIM_REAL(name) \
  static auto real = next<decltype(&::name)>(#name)  // resolved once per wrapper

void logLine(const std::string& line) {
  if (g_state == nullptr || g_state->logFd < 0) return;
  std::string text = line + "\n";
  ssize_t ignored = ::write(g_state->logFd, text.data(), text.size());
  (void)ignored;
}

// "/proc/driver/tq" and paths below it, mapped into the tree.
bool mapProc(const char* path, std::string& mapped) {
  if (g_state == nullptr || path == nullptr) return false;
  const std::size_t n = sizeof kProcRoot - 1;
  if (strncmp(path, kProcRoot, n) != 0 || (path[n] != 0 && path[n] != '/')) return false;
  mapped = g_state->root + "/tq" + (path + n);
  return true;
}

std::string globEscaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (strchr("*?[]\\", c) != nullptr) out.push_back('\\');
    out.push_back(c);
  }
  return out;
}

int removeEntry(const char* path, const struct stat*, int, struct FTW*) {
  return ::remove(path);
}

void finish() {
  Busy busy;
  if (g_state == nullptr) return;
  for (const auto& [fd, path] : g_state->files) {
    if (fcntl(fd, F_GETFD) != -1) logLine("leak fd=" + std::to_string(fd) + " path=" + path);
  }
  if (!g_state->keep) nftw(g_state->root.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
  if (g_state->logFd >= 0) ::close(g_state->logFd);
  delete g_state;
  g_state = nullptr;
}

// Stops the program before it runs, removing the tree made so far (unless
// TQSIM_KEEP asks for it): nothing of a run that never started stays behind.
[[noreturn]] void die(const std::string& why, const std::string& tree = std::string(),
                      bool keep = false) {
  if (!tree.empty() && !keep) nftw(tree.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
  std::string text = "tqsim: " + why + "\n";
  ssize_t ignored = ::write(2, text.data(), text.size());
  (void)ignored;
  _exit(125);
}

__attribute__((constructor)) void start() {
  Busy busy;
  const char* benchPath = getenv("TQSIM_BENCH");
  if (benchPath == nullptr) return;
  // Set but empty is a mistake (a variable that did not expand, say); taken
  // as unset it would let the program reach the real system.
  if (*benchPath == 0) die("TQSIM_BENCH is set but empty; name a bench file or unset it");
  tqsim::Bench bench;
  std::string error;
  if (!tqsim::readBenchFile(benchPath, bench, error)) die(error);
  if (!bench.statePath.empty()) {
    // Made from the bench when missing, and checked, before the program runs.
    tqsim::Values values;
    if (!tqsim::StateFile(bench.statePath).load(bench, values, error)) die(error);
  }
  const char* base = getenv("TQSIM_DIR");
  if (base == nullptr || *base == 0) base = getenv("TMPDIR");
  std::string templ = std::string(base != nullptr && *base != 0 ? base : "/tmp") + "/tqsim.XXXXXX";
  std::vector<char> name(templ.begin(), templ.end());
  name.push_back(0);
  if (mkdtemp(name.data()) == nullptr) die("cannot create a directory from " + templ);
  const std::string root = name.data();
  const char* keepText = getenv("TQSIM_KEEP");
  const bool keep = keepText != nullptr && strcmp(keepText, "1") == 0;
  if (!tqsim::buildTree(bench, root, error)) die(error, root, keep);
  if (mkdir((root + "/unreadable").c_str(), 0755) != 0) die("cannot build the tree", root, keep);
  int logFd = -1;
  const char* logPath = getenv("TQSIM_LOG");
  if (logPath != nullptr && *logPath != 0) {
    logFd = ::open(logPath, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (logFd < 0) {
      die(std::string("cannot open the log ") + logPath + ": " + strerror(errno), root, keep);
    }
  }
  auto* state = new State;
  state->root = root;
  state->keep = keep;
  state->logFd = logFd;
  state->driver = std::make_unique<tqsim::Driver>(std::move(bench));
  g_state = state;
  atexit(finish);
}

// The descriptor stays open through the tool's exit handlers; the leak check
// runs after them because it was registered before main started.

template <typename OpenFn>
int openCommon(OpenFn real, const char* path, int flags, mode_t mode) {
  Busy busy;
  if (g_state == nullptr || path == nullptr) return real(path, flags, mode);
  if (const tqsim::Fault* f = g_state->driver->systemFault(tqsim::FaultKind::open, path)) {
    logLine(std::string("fault open path=") + path + " errno=" + std::to_string(f->error));
    errno = f->error;
    return -1;
  }
  if (const tqsim::Interface* itf = g_state->driver->interfaceForNode(path)) {
    if (itf->state == tqsim::NodeState::missing) {
      errno = ENOENT;
      return -1;
    }
    if (itf->state == tqsim::NodeState::forbidden) {
      errno = EACCES;
      return -1;
    }
    int fd = real((g_state->root + "/node").c_str(), flags & ~(O_CREAT | O_EXCL | O_TRUNC), 0);
    if (fd < 0) return fd;
    g_state->nodes[fd] = Node{itf->device, itf->dir};
    g_state->files[fd] = path;
    logLine("open dev=" + itf->device + " node=" + path);
    return fd;
  }
  std::string mapped;
  int fd = mapProc(path, mapped) ? real(mapped.c_str(), flags, mode) : real(path, flags, mode);
  if (fd >= 0) g_state->files[fd] = path;
  return fd;
}

// Kept out of line: the C library declares the path arguments non-null, but a
// null path must still reach the real call and fail there with EFAULT.
__attribute__((noinline)) bool isAbsolute(const char* path) {
  return path != nullptr && path[0] == '/';
}

mode_t modeArg(int flags, va_list args) {
  return (flags & (O_CREAT | O_TMPFILE)) != 0 ? static_cast<mode_t>(va_arg(args, int)) : 0;
}

template <typename GlobT, typename GlobFn>
int globCommon(GlobFn real, const char* pattern, int flags, int (*errfunc)(const char*, int),
               GlobT* result) {
  Busy busy;
  std::string mapped;
  if (!mapProc(pattern, mapped)) return real(pattern, flags, errfunc, result);
  if (const tqsim::Fault* f = g_state->driver->systemFault(tqsim::FaultKind::glob, "")) {
    logLine(std::string("fault glob pattern=") + pattern +
            " result=" + (f->globResult == GLOB_ABORTED ? "GLOB_ABORTED" : "GLOB_NOSPACE"));
    if ((flags & GLOB_APPEND) == 0) {
      result->gl_pathc = 0;
      result->gl_pathv = nullptr;
    }
    return f->globResult;
  }
  const std::string tree = g_state->root + "/tq";
  mapped = globEscaped(tree) + (pattern + sizeof kProcRoot - 1);
  int rc = real(mapped.c_str(), flags, errfunc, result);
  if (result->gl_pathv == nullptr) return rc;
  const std::size_t offs = (flags & GLOB_DOOFFS) != 0 ? result->gl_offs : 0;
  for (std::size_t i = offs; i < offs + result->gl_pathc; ++i) {
    char* entry = result->gl_pathv[i];
    if (entry == nullptr || strncmp(entry, tree.c_str(), tree.size()) != 0) continue;
    std::string shown = std::string(kProcRoot) + (entry + tree.size());
    // The caller's globfree releases every entry with free().
    char* copy = static_cast<char*>(malloc(shown.size() + 1));
    if (copy == nullptr) continue;
    memcpy(copy, shown.c_str(), shown.size() + 1);
    free(entry);
    result->gl_pathv[i] = copy;
  }
  return rc;
}

template <typename FopenFn>
FILE* fopenCommon(FopenFn real, const char* path, const char* mode) {
  Busy busy;
  std::string mapped;
  if (!mapProc(path, mapped)) {
    FILE* f = real(path, mode);
    if (f != nullptr && g_state != nullptr) g_state->files[fileno(f)] = path;
    return f;
  }
  if (const tqsim::Fault* f = g_state->driver->systemFault(tqsim::FaultKind::fopen, path)) {
    logLine(std::string("fault fopen path=") + path + " errno=" + std::to_string(f->error));
    errno = f->error;
    return nullptr;
  }
  if (g_state->driver->systemFault(tqsim::FaultKind::fread, path) != nullptr) {
    // Reading a directory stream fails with a stream error, as a broken
    // /proc entry would.
    logLine(std::string("fault fread path=") + path);
    mapped = g_state->root + "/unreadable";
  }
  FILE* f = real(mapped.c_str(), mode);
  if (f != nullptr) g_state->files[fileno(f)] = path;
  return f;
}

// A read or flock fault on a descriptor the tool opened by that path.
const tqsim::Fault* fdFault(tqsim::FaultKind kind, int fd, const char* what) {
  Busy busy;
  if (g_state == nullptr) return nullptr;
  auto it = g_state->files.find(fd);
  if (it == g_state->files.end() || g_state->nodes.count(fd) != 0) return nullptr;
  const tqsim::Fault* f = g_state->driver->systemFault(kind, it->second);
  if (f != nullptr) {
    logLine(std::string("fault ") + what + " path=" + it->second +
            " errno=" + std::to_string(f->error));
  }
  return f;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int open(const char* path, int flags, ...) {
  TQSIM_REAL(open);
  va_list args;
  va_start(args, flags);
  mode_t mode = modeArg(flags, args);
  va_end(args);
  return openCommon([](const char* p, int f, mode_t m) { return real(p, f, m); }, path, flags,
                    mode);
}

__attribute__((visibility("default"))) int open64(const char* path, int flags, ...) {
  TQSIM_REAL(open64);
  va_list args;
  va_start(args, flags);
  mode_t mode = modeArg(flags, args);
  va_end(args);
  return openCommon([](const char* p, int f, mode_t m) { return real(p, f, m); }, path, flags,
                    mode);
}

__attribute__((visibility("default"))) int __open_2(const char* path, int flags) {
  TQSIM_REAL(open);
  return openCommon([](const char* p, int f, mode_t m) { return real(p, f, m); }, path, flags, 0);
}

__attribute__((visibility("default"))) int __open64_2(const char* path, int flags) {
  TQSIM_REAL(open64);
  return openCommon([](const char* p, int f, mode_t m) { return real(p, f, m); }, path, flags, 0);
}

__attribute__((visibility("default"))) int openat(int dirfd, const char* path, int flags, ...) {
  TQSIM_REAL(openat);
  va_list args;
  va_start(args, flags);
  mode_t mode = modeArg(flags, args);
  va_end(args);
  if (!isAbsolute(path)) return real(dirfd, path, flags, mode);
  return openCommon([](const char* p, int f, mode_t m) { return real(AT_FDCWD, p, f, m); }, path,
                    flags, mode);
}

__attribute__((visibility("default"))) int openat64(int dirfd, const char* path, int flags, ...) {
  TQSIM_REAL(openat64);
  va_list args;
  va_start(args, flags);
  mode_t mode = modeArg(flags, args);
  va_end(args);
  if (!isAbsolute(path)) return real(dirfd, path, flags, mode);
  return openCommon([](const char* p, int f, mode_t m) { return real(AT_FDCWD, p, f, m); }, path,
                    flags, mode);
}

__attribute__((visibility("default"))) int __openat_2(int dirfd, const char* path, int flags) {
  return openat(dirfd, path, flags);
}

__attribute__((visibility("default"))) int __openat64_2(int dirfd, const char* path, int flags) {
  return openat64(dirfd, path, flags);
}

__attribute__((visibility("default"))) int close(int fd) {
  Busy busy;
  TQSIM_REAL(close);
  if (g_state != nullptr) {
    auto node = g_state->nodes.find(fd);
    if (node != g_state->nodes.end()) {
      logLine("close dev=" + node->second.device);
      g_state->nodes.erase(node);
    }
    g_state->files.erase(fd);
  }
  return real(fd);
}

__attribute__((visibility("default"))) FILE* fopen(const char* path, const char* mode) {
  TQSIM_REAL(fopen);
  return fopenCommon(real, path, mode);
}

__attribute__((visibility("default"))) FILE* fopen64(const char* path, const char* mode) {
  TQSIM_REAL(fopen64);
  return fopenCommon(real, path, mode);
}

__attribute__((visibility("default"))) int fclose(FILE* stream) {
  Busy busy;
  TQSIM_REAL(fclose);
  if (g_state != nullptr && stream != nullptr) g_state->files.erase(fileno(stream));
  return real(stream);
}

__attribute__((visibility("default"))) int glob(const char* pattern, int flags,
                                                int (*errfunc)(const char*, int), glob_t* result) {
  TQSIM_REAL(glob);
  return globCommon(real, pattern, flags, errfunc, result);
}

__attribute__((visibility("default"))) int glob64(const char* pattern, int flags,
                                                  int (*errfunc)(const char*, int),
                                                  glob64_t* result) {
  TQSIM_REAL(glob64);
  return globCommon(real, pattern, flags, errfunc, result);
}

__attribute__((visibility("default"))) ssize_t read(int fd, void* buffer, size_t length) {
  TQSIM_REAL(read);
  if (const tqsim::Fault* f = fdFault(tqsim::FaultKind::read, fd, "read")) {
    errno = f->error;
    return -1;
  }
  return real(fd, buffer, length);
}

__attribute__((visibility("default"))) ssize_t __read_chk(int fd, void* buffer, size_t length,
                                                          size_t bufferLength) {
  using ReadChk = ssize_t (*)(int, void*, size_t, size_t);
  static auto real = next<ReadChk>("__read_chk");
  if (const tqsim::Fault* f = fdFault(tqsim::FaultKind::read, fd, "read")) {
    errno = f->error;
    return -1;
  }
  return real(fd, buffer, length, bufferLength);
}

__attribute__((visibility("default"))) int flock(int fd, int operation) {
  TQSIM_REAL(flock);
  if (const tqsim::Fault* f = fdFault(tqsim::FaultKind::flock, fd, "flock")) {
    errno = f->error;
    return -1;
  }
  return real(fd, operation);
}

__attribute__((visibility("default"))) int ioctl(int fd, unsigned long request, ...) {
  Busy busy;
  TQSIM_REAL(ioctl);
  va_list args;
  va_start(args, request);
  void* argument = va_arg(args, void*);
  va_end(args);
  if (g_state == nullptr) return real(fd, request, argument);
  auto node = g_state->nodes.find(fd);
  if (node == g_state->nodes.end()) return real(fd, request, argument);
  tqsim::ProcessMemory memory;
  std::vector<std::string> lines;
  int error = g_state->driver->ioctl(node->second.device, request,
                                     reinterpret_cast<std::uint64_t>(argument), memory, lines);
  for (const auto& line : lines) logLine(line);
  if (!g_state->driver->failure().empty())
    die(g_state->driver->failure(), g_state->root, g_state->keep);
  if (error != 0) {
    errno = error;
    return -1;
  }
  return 0;
}

}  // extern "C"
