// SPDX-License-Identifier: MIT
#include "ctl/outputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "ctl/exitStatus.h"

namespace nTQVLKAET100 {

namespace {

// The temporary file until it has been renamed: removed on every failure.
class tTemporary {
 public:
  explicit tTemporary(std::string pattern) : path_(std::move(pattern)) {
    fd_ = ::mkostemp(&path_[0], O_CLOEXEC);
    if (fd_ < 0) path_.clear();
  }
  tTemporary(const tTemporary&) = delete;
  tTemporary& operator=(const tTemporary&) = delete;
  ~tTemporary() {
    if (fd_ >= 0) ::close(fd_);
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  int fd() const { return fd_; }
  const std::string& path() const { return path_; }
  // Closes the descriptor; false (errno set) when the close fails.
  bool close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }
  void renamed() { path_.clear(); }

 private:
  std::string path_;
  int fd_ = -1;
};

bool writeAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t count = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (count < 0 && errno == EINTR) continue;
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
  const std::string directory = slash == std::string::npos ? "."
                                : slash == 0               ? "/"
                                                           : path.substr(0, slash);
  const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
  if (name.empty()) fail(path, EISDIR);
  tTemporary temporary(directory + "/." + name + ".XXXXXX");
  if (temporary.fd() < 0) fail(path, errno);
  if (::fchmod(temporary.fd(), 0644) != 0 || !writeAll(temporary.fd(), bytes) ||
      ::fsync(temporary.fd()) != 0 || !temporary.close() ||
      ::rename(temporary.path().c_str(), path.c_str()) != 0) {
    fail(path, errno);
  }
  temporary.renamed();
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0 || ::fsync(fd) != 0) {
    const int error = errno;
    if (fd >= 0) ::close(fd);
    fail(directory, error);
  }
  ::close(fd);
}

}  // namespace nTQVLKAET100
