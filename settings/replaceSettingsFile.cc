// SPDX-License-Identifier: MIT
#include "settings/replaceSettingsFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "error/JsonStatus.h"
#include "tqapal/errors.h"
#include "tqapal/posixCalls.h"

namespace nTQVLKAET100 {

using nTQAPAL000::kComponentTool;
using nTQAPAL000::tStatus;

namespace {

// One site per step of the sequence.
constexpr const char* kFile = "settings/replaceSettingsFile";
constexpr tqerr::ErrorLocation kSiteResolve = {kFile, 1, kComponentTool, "err"};
constexpr tqerr::ErrorLocation kSiteDirectory = {kFile, 2, kComponentTool, "err"};
constexpr tqerr::ErrorLocation kSiteOpen = {kFile, 3, kComponentTool, "err"};
constexpr tqerr::ErrorLocation kSiteNotRegular = {kFile, 4, kComponentTool, "err"};
constexpr tqerr::ErrorLocation kSiteLock = {kFile, 5, kComponentTool, "err"};
constexpr tqerr::ErrorLocation kSiteRead = {kFile, 6, kComponentTool, "err"};
constexpr tqerr::ErrorLocation kSiteTemporary = {kFile, 7, kComponentTool, "err"};
constexpr tqerr::ErrorLocation kSiteOwnerMode = {kFile, 8, kComponentTool, "err"};
constexpr tqerr::ErrorLocation kSiteWrite = {kFile, 9, kComponentTool, "err"};
constexpr tqerr::ErrorLocation kSiteSync = {kFile, 10, kComponentTool, "err"};
constexpr tqerr::ErrorLocation kSiteRename = {kFile, 11, kComponentTool, "err"};
constexpr tqerr::ErrorLocation kSiteDirectorySync = {kFile, 12, kComponentTool, "err"};

// How often a writer starts again on a file that another writer replaced
// while it waited for the lock.
constexpr int kLockAttempts = 100;

using nTQAPAL000::recordErrno;
using nTQAPAL000::retryInterrupted;
using Descriptor = nTQAPAL000::tDescriptor;

// Where the file and its directory are: a symbolic link is followed to the
// file it names.
struct tPlace {
  std::string file;
  std::string directory;
  std::string name;
};

bool resolve(const std::string& path, tPlace& place, tStatus& status) {
  place.file = path;
  struct stat info;
  if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    char* target = ::realpath(path.c_str(), nullptr);
    if (target == nullptr) return recordErrno(status, kSiteResolve);
    place.file = target;
    std::free(target);
  }
  place.directory = nTQAPAL000::directoryOf(place.file);
  const std::size_t slash = place.file.rfind('/');
  place.name = place.file.substr(slash == std::string::npos ? 0 : slash + 1);
  return true;
}

// Creates the missing directories of the path, mode 0755 whatever the umask.
bool makeDirectories(const std::string& directory, tStatus& status) {
  for (std::size_t end = directory.find('/', 1);; end = directory.find('/', end + 1)) {
    const std::string part = directory.substr(0, end);
    if (::mkdir(part.c_str(), 0755) == 0) {
      if (::chmod(part.c_str(), 0755) != 0) return recordErrno(status, kSiteDirectory);
    } else if (errno != EEXIST) {
      return recordErrno(status, kSiteDirectory);
    }
    if (end == std::string::npos) return true;
  }
}

// Opens the file (creating it, mode 0644, when absent) and takes the
// exclusive lock on the inode that the path still names.
int openLocked(const tPlace& place, struct stat& info, const nTQAPAL000::tLockWaitNotice& notice,
               tStatus& status) {
  for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
    const char* file = place.file.c_str();
    Descriptor fd(::open(file, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0 && errno == ENOENT) {
      if (!makeDirectories(place.directory, status)) return -1;
      fd.reset(::open(file, O_RDONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
      if (fd.get() < 0 && errno == EEXIST) continue;
      if (fd.get() >= 0 && ::fchmod(fd.get(), 0644) != 0) return recordErrno(status, kSiteOpen);
    }
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0) return recordErrno(status, kSiteOpen);
    if (!S_ISREG(info.st_mode)) {
      setCode(status, tqapalerr_invalidParameter, kSiteNotRegular);
      return -1;
    }
    if (nTQAPAL000::flockWaiting(fd.get(), LOCK_EX, notice) != 0) {
      return recordErrno(status, kSiteLock);
    }
    struct stat now;
    if (::lstat(file, &now) == 0 && now.st_dev == info.st_dev && now.st_ino == info.st_ino) {
      return fd.release();
    }
  }
  errno = EBUSY;
  recordErrno(status, kSiteLock);
  return -1;
}

// Removes what a killed run left: "." + name + ".new-" + 6 characters.
void removeStaleTemporaries(const tPlace& place) {
  const std::string prefix = "." + place.name + ".new-";
  DIR* directory = ::opendir(place.directory.c_str());
  if (directory == nullptr) return;
  while (const dirent* entry = ::readdir(directory)) {
    const std::string name = entry->d_name;
    if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0) {
      ::unlinkat(::dirfd(directory), entry->d_name, 0);
    }
  }
  ::closedir(directory);
}

// Whether the locked file holds exactly expected.
bool holds(int fd, std::string_view expected, bool& same, tStatus& status) {
  char buffer[8192];
  std::size_t offset = 0;
  for (;;) {
    const ssize_t count = retryInterrupted(
        [&] { return ::pread(fd, buffer, sizeof buffer, static_cast<off_t>(offset)); });
    if (count < 0) return recordErrno(status, kSiteRead);
    const std::size_t length = static_cast<std::size_t>(count);
    if (length == 0 || expected.size() - offset < length ||
        std::memcmp(buffer, expected.data() + offset, length) != 0) {
      same = length == 0 && offset == expected.size();
      return true;
    }
    offset += length;
  }
}

// The temporary file as the old one was: owner, then mode (a change of
// owner clears set-user-ID bits); then the content, on disk.
bool fillTemporary(int fd, const struct stat& old, std::string_view bytes, tStatus& status) {
  struct stat created;
  if (::fstat(fd, &created) != 0) return recordErrno(status, kSiteOwnerMode);
  if ((created.st_uid != old.st_uid || created.st_gid != old.st_gid) &&
      ::fchown(fd, old.st_uid, old.st_gid) != 0) {
    return recordErrno(status, kSiteOwnerMode);
  }
  if (::fchmod(fd, old.st_mode & 07777) != 0) return recordErrno(status, kSiteOwnerMode);
  if (!nTQAPAL000::writeAll(fd, bytes)) return recordErrno(status, kSiteWrite);
  if (::fsync(fd) != 0) return recordErrno(status, kSiteSync);
  return true;
}

}  // namespace

tReplaceResult replaceSettingsFile(const std::string& path, std::string_view expectedOld,
                                   std::string_view newBytes, tStatus& status,
                                   const nTQAPAL000::tLockWaitNotice& notice) {
  if (nTQAPAL000::isFatal(status)) return tReplaceResult::kFailed;
  tPlace place;
  if (!resolve(path, place, status)) return tReplaceResult::kFailed;
  struct stat old;
  // Held until the end, when closing it releases the lock.
  Descriptor lock(openLocked(place, old, notice, status));
  if (lock.get() < 0) return tReplaceResult::kFailed;
  removeStaleTemporaries(place);
  bool same = false;
  if (!holds(lock.get(), expectedOld, same, status)) return tReplaceResult::kFailed;
  if (!same) return tReplaceResult::kFileChanged;
  // The new content in a file of its own, created exclusively next to the
  // old one, removed on every failure.
  nTQAPAL000::tTemporaryFile temporary(place.directory + "/." + place.name + ".new-XXXXXX");
  if (temporary.fd() < 0) {
    recordErrno(status, kSiteTemporary);
    return tReplaceResult::kFailed;
  }
  if (!fillTemporary(temporary.fd(), old, newBytes, status)) return tReplaceResult::kFailed;
  if (!temporary.close()) {
    recordErrno(status, kSiteWrite);
    return tReplaceResult::kFailed;
  }
  if (temporary.renameTo(place.file) != 0) {
    recordErrno(status, kSiteRename);
    return tReplaceResult::kFailed;
  }
  if (nTQAPAL000::syncDirectory(place.directory) != 0) {
    recordErrno(status, kSiteDirectorySync);
    return tReplaceResult::kFailed;
  }
  return tReplaceResult::kReplaced;
}

tReplaceResult replaceSettingsFile(const std::string& path, std::string_view expectedOld,
                                   std::string_view newBytes,
                                   const nTQAPAL000::tLockWaitNotice& notice) {
  return nTQAPAL000::throwingStep([&](tStatus& status) {
    return replaceSettingsFile(path, expectedOld, newBytes, status, notice);
  });
}

}  // namespace nTQVLKAET100
