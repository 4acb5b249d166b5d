// libtqrelocations.so.0: tells the tool where a moved installation tree keeps
// its directories. It reads a small key=value file that lives at a place
// fixed relative to the library itself, so a tree that is moved as a whole
// (library and file together) relocates itself. See reloc/README.md.
//
// This library stands outside the tool: it links nothing of it and keeps no
// state between calls.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <map>
#include <new>
#include <string>

namespace {

constexpr const char* kConfigName = "tqrelocations.conf";

// Results besides 0 (not relocated) and the text length (relocated).
constexpr int kMalformedConfig = -1;
constexpr int kValueTooLong = -2;
constexpr int kUnreadableConfig = -3;
constexpr int kBadArguments = -4;
constexpr int kInternalFailure = -5;

std::string trim(const std::string& text) {
  const char* blanks = " \t\r\n";
  const std::size_t begin = text.find_first_not_of(blanks);
  if (begin == std::string::npos) return std::string();
  const std::size_t end = text.find_last_not_of(blanks);
  return text.substr(begin, end - begin + 1);
}

std::string parentOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The canonical directory that holds this library, or empty.
std::string libraryDirectory() {
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&libraryDirectory), &info) == 0 || info.dli_fname == nullptr)
    return std::string();
  // The directory is canonicalised, not the file: a symlinked library is
  // taken to live where the link is.
  char resolved[PATH_MAX];
  if (realpath(parentOf(info.dli_fname).c_str(), resolved) == nullptr) return std::string();
  return resolved;
}

struct Config {
  bool found = false;
  int failure = 0;
  std::map<std::string, std::string> values;
};

// Parses "key = value" lines; blank lines and lines starting with "#" are
// skipped. A line without "=", an empty key or value, or a key given twice
// makes the whole file malformed.
Config readConfig(const std::string& file) {
  Config config;
  std::ifstream in(file);
  if (!in.is_open()) {
    // Present but unreadable is a failure; absent is simply not relocated.
    config.found = access(file.c_str(), F_OK) == 0;
    if (config.found) config.failure = kUnreadableConfig;
    return config;
  }
  config.found = true;
  std::string line;
  while (std::getline(in, line)) {
    const std::string content = trim(line);
    if (content.empty() || content[0] == '#') continue;
    const std::size_t equals = content.find('=');
    if (equals == std::string::npos) {
      config.failure = kMalformedConfig;
      return config;
    }
    const std::string key = trim(content.substr(0, equals));
    const std::string value = trim(content.substr(equals + 1));
    if (key.empty() || value.empty() || config.values.count(key) != 0) {
      config.failure = kMalformedConfig;
      return config;
    }
    config.values[key] = value;
  }
  if (in.bad()) config.failure = kUnreadableConfig;
  return config;
}

int lookUp(const char* key, char* buffer, int size) {
  const std::string libDir = libraryDirectory();
  if (libDir.empty()) return kInternalFailure;
  // The installation tree is the directory above the library's own.
  const std::string tree = parentOf(libDir);

  Config config = readConfig(libDir + "/" + kConfigName);
  if (!config.found) config = readConfig(tree + "/etc/" + kConfigName);
  if (!config.found) return 0;
  if (config.failure != 0) return config.failure;

  const auto entry = config.values.find(key);
  if (entry == config.values.end()) return 0;
  std::string dir = entry->second;
  if (dir[0] != '/') dir = (tree == "/" ? std::string() : tree) + "/" + dir;
  if (dir.size() + 1 > static_cast<std::size_t>(size)) return kValueTooLong;
  std::memcpy(buffer, dir.c_str(), dir.size() + 1);
  return static_cast<int>(dir.size());
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int get_relocated_dir(const char* key,
                                                                        char* buffer, int size) {
  if (key == nullptr || buffer == nullptr || size <= 0) return kBadArguments;
  try {
    return lookUp(key, buffer, size);
  } catch (...) {
    return kInternalFailure;
  }
}
