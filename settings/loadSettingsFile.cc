// SPDX-License-Identifier: MIT
#include "settings/loadSettingsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <boost/property_tree/ini_parser.hpp>
#include <cerrno>
#include <cstring>
#include <istream>
#include <stdexcept>
#include <streambuf>

#include "productpath/cPath.h"
#include "productpath/cSysqWrapper.h"
#include "settings/boostInternals.h"
#include "tqafa/FileLock.h"
#include "tqapal/posixCalls.h"

namespace nTQVLKAET100 {

namespace {

// Directory kind of the product's stored settings.
constexpr std::uint32_t kSettingsDirectoryKind = 18;

// Releases a taken lock on every exit; a failure to unlock must not replace
// the exception that is already leaving.
class UnlockOnExit {
 public:
  explicit UnlockOnExit(tqafa::FileLock& lock) : lock_(lock) {}
  UnlockOnExit(const UnlockOnExit&) = delete;
  UnlockOnExit& operator=(const UnlockOnExit&) = delete;
  ~UnlockOnExit() {
    try {
      lock_.unlock();
    } catch (...) {
    }
  }

 private:
  tqafa::FileLock& lock_;
};

// A read-only stream over the loaded bytes, so the text is not copied again.
class TextBuffer : public std::streambuf {
 public:
  TextBuffer(char* text, std::size_t length) { setg(text, text, text + length); }
};

// Reads the whole file: one read() may return fewer bytes than asked (a
// signal, a file system that delivers in pieces), and a short count must not
// cut the settings silently.
std::size_t readWhole(int fd, char* buffer, std::size_t size) {
  std::size_t total = 0;
  while (total < size) {
    const ssize_t count =
        nTQAPAL000::retryInterrupted([&] { return ::read(fd, buffer + total, size - total); });
    if (count == 0) break;
    if (count < 0) throw std::runtime_error("The INI file could not be read.");
    total += static_cast<std::size_t>(count);
  }
  return total;
}

std::string readAll(int fd) {
  struct stat info;
  if (::fstat(fd, &info) != 0) {
    throw std::runtime_error("The INI file size could not be read.");
  }
  if (info.st_size <= 0) return std::string();
  const std::size_t size = static_cast<std::size_t>(info.st_size);
  std::string bytes(size, '\0');
  bytes.resize(readWhole(fd, &bytes[0], size));
  return bytes;
}

}  // namespace

std::string_view settingsText(const char* bytes, std::size_t size) {
  return std::string_view(bytes, strnlen(bytes, size));
}

void parseSettingsText(const char* bytes, std::size_t size, boost::property_tree::ptree& tree) {
  const std::string_view text = settingsText(bytes, size);
  TextBuffer buffer(const_cast<char*>(text.data()), text.size());
  std::istream stream(&buffer);
  try {
    boost::property_tree::read_ini(stream, tree);
  } catch (const boost::property_tree::ini_parser_error& error) {
    throwClassicBoostError(error);
  }
}

boost::property_tree::ptree parseSettingsText(const char* bytes, std::size_t size) {
  boost::property_tree::ptree tree;
  parseSettingsText(bytes, size, tree);
  return tree;
}

std::string settingsFilePath() {
  vlpath::cSysqWrapper wrapper;
  vlpath::cPath path(kSettingsDirectoryKind, wrapper);
  path.appendUtf8(kSettingsFileName);
  return path.getMbs();
}

bool isMissingFileError(int errnoValue) {
  return errnoValue == ENOENT || errnoValue == ENOTDIR;
}

std::optional<std::string> readSettingsBytes(const std::string& path,
                                             const nTQAPAL000::tLockWaitNotice& notice) {
  // Closed when the loader leaves, last of all.
  const nTQAPAL000::tDescriptor fd(::open(path.c_str(), O_RDONLY));
  if (fd.get() == -1) {
    if (isMissingFileError(errno)) return std::nullopt;
    throw std::runtime_error("The INI file could not be read.");
  }
  tqafa::FileLock lock(fd.get());
  lock.lockShared(notice);
  UnlockOnExit unlocker(lock);
  return readAll(fd.get());
}

bool readSettingsFile(const std::string& path, boost::property_tree::ptree& tree) {
  tree.clear();
  const std::optional<std::string> bytes = readSettingsBytes(path);
  if (!bytes) return false;
  parseSettingsText(bytes->data(), bytes->size(), tree);
  return true;
}

boost::property_tree::ptree loadSettingsFile() {
  // One tree, returned in place (the only object returned): never copied.
  boost::property_tree::ptree tree;
  readSettingsFile(settingsFilePath(), tree);
  return tree;
}

}  // namespace nTQVLKAET100
