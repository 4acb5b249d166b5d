// SPDX-License-Identifier: MIT
#include "tqapal/protons/enumeration/linuxU/tDeviceInterfaceIterator.h"

#include <libgen.h>

#include <cstdio>
#include <cstring>

#include "tqapal/errors.h"
#include "tqapal/protons/enumeration/linuxU/linuxDevEnumHelper.h"

namespace nTQVLKAET100 {
namespace nTQAPAL000 {

namespace {

constexpr std::size_t kPathBuffer = 4096;

}  // namespace

tDeviceInterfaceIterator::tDeviceInterfaceIterator(const char* interfaceKind, tStatus& status)
    : tDeviceInterfaceIterator(kDriverProcRoot, interfaceKind, status) {}

tDeviceInterfaceIterator::tDeviceInterfaceIterator(const char* procRoot, const char* interfaceKind,
                                                   tStatus& status)
    : found_(), cursor_(nullptr) {
  search(procRoot, interfaceKind, status);
}

tDeviceInterfaceIterator::~tDeviceInterfaceIterator() {
  globfree(&found_);
}

void tDeviceInterfaceIterator::search(const char* procRoot, const char* interfaceKind,
                                      tStatus& status) {
  // To glob the two backslashes are one escaped literal backslash: the
  // pattern matches the kind, a backslash and any instance suffix.
  char pattern[kPathBuffer];
  std::snprintf(pattern, sizeof(pattern), "%s/*/deviceInterfaces/%s\\\\*", procRoot, interfaceKind);
  const int result = glob(pattern, GLOB_ONLYDIR, nullptr, &found_);
  if (result == 0) {
    cursor_ = found_.gl_pathv;
  } else if (result != GLOB_NOMATCH) {
    setCode(status, tqapalerr_searchFailed, kSiteSearchFailed);
  }
}

bool tDeviceInterfaceIterator::atEnd() const {
  return cursor_ == nullptr || *cursor_ == nullptr;
}

void tDeviceInterfaceIterator::next() {
  if (!atEnd()) ++cursor_;
}

const char* tDeviceInterfaceIterator::currentEntry() const {
  return atEnd() ? nullptr : *cursor_;
}

void tDeviceInterfaceIterator::getInterfacePath(tFixedPath& path, tStatus& status) const {
  // Without a current entry there is no file to name; report it like a read
  // of a missing device rather than dereferencing the end of the list.
  if (atEnd()) {
    setCode(status, tqapalerr_resourceNotFound, kSiteNoCurrentEntry);
    return;
  }
  char filePath[kPathBuffer];
  std::snprintf(filePath, sizeof(filePath), "%s/interfacePath", *cursor_);
  if (isFatal(status)) return;
  readPathFile(filePath, path, status);
}

void tDeviceInterfaceIterator::getDeviceProperty(const char* name, void* buffer,
                                                 std::size_t bufferSize, std::size_t* bytesRead,
                                                 tStatus& status) const {
  readDeviceFile("deviceProperties", name, buffer, bufferSize, bytesRead, status);
}

void tDeviceInterfaceIterator::readDeviceFile(const char* directoryName, const char* fileName,
                                              void* buffer, std::size_t bufferSize,
                                              std::size_t* bytesRead, tStatus& status) const {
  if (atEnd()) {
    setCode(status, tqapalerr_resourceNotFound, kSiteNoCurrentEntry);
    return;
  }
  // <device>/deviceInterfaces/<kind>\<n>: the device directory is two levels
  // above the interface directory.
  char deviceDirectory[kPathBuffer];
  std::strncpy(deviceDirectory, *cursor_, sizeof(deviceDirectory) - 1);
  deviceDirectory[sizeof(deviceDirectory) - 1] = 0;
  const char* device = dirname(dirname(deviceDirectory));
  char filePath[kPathBuffer];
  std::snprintf(filePath, sizeof(filePath), "%s/%s/%s", device, directoryName, fileName);
  if (isFatal(status)) return;
  readRawFile(filePath, buffer, bufferSize, bytesRead, status);
}

}  // namespace nTQAPAL000
}  // namespace nTQVLKAET100
