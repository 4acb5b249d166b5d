// SPDX-License-Identifier: MIT
#include "ctl/outputFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "ctl/exitStatus.h"
#include "tqapal/posixCalls.h"

namespace nTQVLKAET100 {

namespace {

[[noreturn]] void fail(const std::string& path, int error) {
  throw tCtlTrouble(path + ": " + std::strerror(error));
}

}  // namespace

void replaceOutputFile(const std::string& path, const std::string& bytes) {
  const std::size_t slash = path.rfind('/');
  const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
  if (name.empty()) fail(path, EISDIR);
  const std::string directory = nTQAPAL000::directoryOf(path);
  nTQAPAL000::tTemporaryFile temporary(directory + "/." + name + ".XXXXXX");
  if (temporary.fd() < 0 || ::fchmod(temporary.fd(), 0644) != 0 ||
      !nTQAPAL000::writeAll(temporary.fd(), bytes) || ::fsync(temporary.fd()) != 0 ||
      !temporary.close() || temporary.renameTo(path) != 0) {
    fail(path, errno);
  }
  if (nTQAPAL000::syncDirectory(directory) != 0) fail(directory, errno);
}

}  // namespace nTQVLKAET100
