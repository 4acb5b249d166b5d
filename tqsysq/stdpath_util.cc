// SPDX-License-Identifier: MIT
#include "tqsysq/stdpath_util.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>

#include "error/json.h"
#include "tqapal/errors.h"
#include "tqapal/tStatus.h"
#include "error/errnoDetail.h"

namespace tqsysq {

namespace {

using nTQVLKAET100::nTQAPAL000::kComponentTool;

const tqerr::ErrorLocation kNotADirectory = {"tqsysq/stdpath_util", 179, kComponentTool,
                                             "tqapalerr_objectNameCollision"};
const tqerr::ErrorLocation kParentMissing = {"tqsysq/stdpath_util", 194, kComponentTool,
                                             "tqapalerr_resourceNotFound"};
const tqerr::ErrorLocation kMkdirFailed = {"tqsysq/stdpath_util", 202, kComponentTool,
                                           "tqapalerr_osFault"};
const tqerr::ErrorLocation kOpenFailed = {"tqsysq/stdpath_util", 224, kComponentTool,
                                          "tqapalerr_resourceNotFound"};
// A file whose size cannot be had by seeking (a directory, a pipe) cannot be
// read whole.
const tqerr::ErrorLocation kSizeUnknown = {"tqsysq/stdpath_util", 237, kComponentTool,
                                           "tqapalerr_osFault"};
const tqerr::ErrorLocation kShortRead = {"tqsysq/stdpath_util", 249, kComponentTool,
                                         "tqapalerr_osFault"};

// Opens "tqsysq_debug" and writes its "desc"; returns the object's closing
// bracket for further members.
char* openDebug(tqerr::JsonStatus& status, const char* desc) {
  const tqerr::json::Grower grower = tqerr::grower(status);
  char* at = tqerr::reserve(status, 2);
  at = tqerr::json::appendObject(at, "tqsysq_debug", grower);
  return tqerr::json::appendString(at, "desc", desc, grower);
}

void recordErrno(tqerr::JsonStatus& status, std::int32_t code, const tqerr::ErrorLocation& location,
                 int errnoValue, const char* desc, const char* pathKey, const char* path) {
  if (!tqerr::recordAt(status, code, location)) return;
  tqerr::appendErrnoDetail(status, errnoValue);
  char* at = openDebug(status, desc);
  if (pathKey != nullptr) tqerr::json::appendString(at, pathKey, path, tqerr::grower(status));
}

bool isTrimmedAtEnd(char c) {
  return c == 0 || c == '/' || std::isspace(static_cast<unsigned char>(c));
}

}  // namespace

void recordMemoryFull(tqerr::JsonStatus& status) {
  bool ok = true;
  tqerr::setCodeWithLocation(status, tqapalerr_memoryFull, tqerr::kAllocatorLocation, &ok);
}

void trimPath(std::string& path) {
  std::size_t end = path.size();
  while (end > 0 && isTrimmedAtEnd(path[end - 1])) --end;
  std::size_t begin = 0;
  while (begin < end && std::isspace(static_cast<unsigned char>(path[begin]))) ++begin;
  path = path.substr(begin, end - begin);
}

void makeDirectory(const char* path, tqerr::JsonStatus& status, bool* existed) {
  if (status.code < 0) return;
  if (mkdir(path, 0700) == 0) {
    if (existed) *existed = false;
    return;
  }
  const int failure = errno;
  if (failure == EEXIST) {
    struct stat info;
    // Something is there that we cannot examine: let the caller's next use
    // of the path tell what it is.
    if (stat(path, &info) != 0) return;
    if (S_ISDIR(info.st_mode)) {
      if (existed) *existed = true;
      return;
    }
    recordErrno(status, tqapalerr_objectNameCollision, kNotADirectory, failure,
                "path exist but not a dir", "path", path);
  } else if (failure == ENOENT) {
    recordErrno(status, tqapalerr_resourceNotFound, kParentMissing, failure, "parent not found",
                nullptr, nullptr);
  } else {
    recordErrno(status, tqapalerr_osFault, kMkdirFailed, failure, "mkdir failed", "path", path);
  }
}

void makeDirectories(const char* path, DirectoryCreator creator, tqerr::JsonStatus& status,
                     bool* existed) {
  if (status.code < 0) return;
  try {
    std::vector<char> work(path, path + std::strlen(path) + 1);
    std::vector<std::size_t> cuts;
    bool localExisted = true;
    if (existed) *existed = true;

    // Walk up until a level can be created (or already exists).
    tqerr::JsonStatus attempt;
    for (;;) {
      creator(work.data(), attempt, &localExisted);
      if (attempt.code == 0) break;
      bool ok = true;
      if (attempt.code != tqapalerr_resourceNotFound) {
        tqerr::mergeAndCopy(status, attempt, &ok);
        tqerr::release(attempt);
        return;
      }
      char* slash = std::strrchr(work.data(), '/');
      if (slash == nullptr) {
        tqerr::mergeAndCopy(status, attempt, &ok);
        tqerr::release(attempt);
        return;
      }
      cuts.push_back(static_cast<std::size_t>(slash - work.data()));
      *slash = 0;
      tqerr::release(attempt);
      attempt.code = 0;
    }
    tqerr::release(attempt);
    if (existed) *existed = localExisted;

    // Then back down, the shortest prefix first.
    while (!cuts.empty() && status.code >= 0) {
      work[cuts.back()] = '/';
      cuts.pop_back();
      creator(work.data(), status, nullptr);
    }
  } catch (const std::bad_alloc&) {
    recordMemoryFull(status);
  }
}

void readWholeFile(const char* path, ByteBuffer& buffer, tqerr::JsonStatus& status) {
  if (status.code < 0) return;
  std::FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    recordErrno(status, tqapalerr_resourceNotFound, kOpenFailed, errno, "error opening file",
                "filename", path);
    return;
  }

  long end = -1;
  int sizeFailure = 0;
  struct stat info;
  if (fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode)) {
    sizeFailure = EISDIR;
  } else if (std::fseek(file, 0, SEEK_END) != 0 || (end = std::ftell(file)) < 0) {
    sizeFailure = errno;
  }
  if (sizeFailure != 0) {
    try {
      buffer.assign(1, 0);
    } catch (const std::bad_alloc&) {
      recordMemoryFull(status);
    }
    recordErrno(status, tqapalerr_osFault, kSizeUnknown, sizeFailure,
                "cannot determine size of file", "filename", path);
    std::fclose(file);
    return;
  }
  std::rewind(file);

  const std::size_t size = static_cast<std::size_t>(end);
  try {
    buffer.assign(size + 1, 0);
  } catch (const std::exception&) {  // bad_alloc, or length_error for an absurd size
    recordMemoryFull(status);
    std::fclose(file);
    return;
  }
  const std::size_t count = std::fread(buffer.data(), 1, size, file);
  if (count < size) {
    const int failure = errno;
    if (tqerr::recordAt(status, tqapalerr_osFault, kShortRead)) {
      tqerr::appendErrnoDetail(status, failure);
      const tqerr::json::Grower grower = tqerr::grower(status);
      char* at = openDebug(status, "didn't read full content of file");
      at = tqerr::json::appendUInt64(at, "fileSize", size, grower);
      at = tqerr::json::appendUInt64(at, "fread_return", count, grower);
      tqerr::json::appendString(at, "filename", path, grower);
    }
  }
  buffer[size] = 0;
  std::fclose(file);
}

}  // namespace tqsysq
