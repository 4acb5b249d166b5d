// SPDX-License-Identifier: MIT
#include "ctl/outputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "ctl/exitStatus.h"
#include "tqapal/posixCalls.h"

namespace nTQVLKAET100 {

namespace {

using nTQAPAL000::retryInterrupted;
using nTQAPAL000::tDescriptor;

// The temporary file until it has been renamed: removed on every failure.
class tTemporary {
 public:
  explicit tTemporary(std::string pattern) : path_(std::move(pattern)) {
    file_.reset(::mkostemp(&path_[0], O_CLOEXEC));
    if (file_.get() < 0) path_.clear();
  }
  tTemporary(const tTemporary&) = delete;
  tTemporary& operator=(const tTemporary&) = delete;
  ~tTemporary() {
    file_.reset(-1);
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  int fd() const { return file_.get(); }
  const std::string& path() const { return path_; }
  // Closes the descriptor; false (errno set) when the close fails.
  bool close() { return ::close(file_.release()) == 0; }
  void renamed() { path_.clear(); }

 private:
  std::string path_;
  tDescriptor file_;
};

bool writeAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t count =
        retryInterrupted([&] { return ::write(fd, bytes.data() + done, bytes.size() - done); });
    if (count < 0) return false;
    done += static_cast<std::size_t>(count);
  }
  return true;
}

[[noreturn]] void fail(const std::string& path, int error) {
  throw tCtlTrouble(path + ": " + std::strerror(error));
}

}  // namespace

void replaceOutputFile(const std::string& path, const std::string& bytes) {
  const std::size_t slash = path.rfind('/');
  const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
  if (name.empty()) fail(path, EISDIR);
  const std::string directory = nTQAPAL000::directoryOf(path);
  tTemporary temporary(directory + "/." + name + ".XXXXXX");
  if (temporary.fd() < 0) fail(path, errno);
  if (::fchmod(temporary.fd(), 0644) != 0 || !writeAll(temporary.fd(), bytes) ||
      ::fsync(temporary.fd()) != 0 || !temporary.close() ||
      ::rename(temporary.path().c_str(), path.c_str()) != 0) {
    fail(path, errno);
  }
  temporary.renamed();
  const tDescriptor folder(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() < 0 || ::fsync(folder.get()) != 0) fail(directory, errno);
}

}  // namespace nTQVLKAET100
