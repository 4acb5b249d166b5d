// SPDX-License-Identifier: MIT
// The routines under the standard-path answers: the one path normalisation
// of the platform layer (trimPath), creating a directory or a whole chain of
// them, and reading a small file whole.
//
// Routines that take a JsonStatus do nothing when it already holds an error
// and record failures (with the reporting site and a structured detail)
// instead of throwing; allocation failure is recorded as -52000.
#ifndef TQSYSQ_STDPATH_UTIL_H_
#define TQSYSQ_STDPATH_UTIL_H_

#include <string>
#include <vector>

#include "error/JsonStatus.h"

namespace tqsysq {

// Growable bytes (capacity, size, data) filled by readWholeFile.
typedef std::vector<char> ByteBuffer;

// Removes trailing white space, NUL bytes and "/", then leading white space.
// Inner and leading slashes stay; "/" alone becomes empty.
void trimPath(std::string& path);

// Creates one directory level with mode 0700. existed (may be null) tells
// whether the directory was already there.
void makeDirectory(const char* path, tqerr::JsonStatus& status, bool* existed);

typedef void (*DirectoryCreator)(const char* path, tqerr::JsonStatus& status, bool* existed);

// Creates path and every missing parent, the shortest missing prefix first,
// each through creator. existed (may be null) is the answer of the first
// level that needed no parent to be created.
void makeDirectories(const char* path, DirectoryCreator creator, tqerr::JsonStatus& status,
                     bool* existed);

// Reads the whole file into buffer followed by one NUL (size = file size + 1).
void readWholeFile(const char* path, ByteBuffer& buffer, tqerr::JsonStatus& status);

// Records -52000 at the library's allocator site.
void recordMemoryFull(tqerr::JsonStatus& status);

}  // namespace tqsysq

#endif  // TQSYSQ_STDPATH_UTIL_H_
