// SPDX-License-Identifier: MIT
// tDeviceInterfaceIterator: walks the device interfaces of one kind that the
// kernel driver publishes as /proc/driver/tq/<device>/deviceInterfaces/
// <kind>\<n>, in byte order of their full paths, and reads for the current
// interface its device-node path and the properties of its device.
//
// The search runs once, in the constructor, even when the caller's status
// already holds an error; finding nothing is not a failure (atEnd() is true
// at once). The iterator owns the search result and keeps no error state: a
// failed read leaves the cursor and the list valid. Reads take the caller's
// status last and do nothing when it already holds an error.
//
// Typical use:
//   tDeviceInterfaceIterator it("ae_ae", status); throwIfFatal(status);
//   for (; !it.atEnd(); it.next()) { ... it.getDeviceProperty(...) ... }
#ifndef TQAPAL_PROTONS_ENUMERATION_LINUXU_TDEVICEINTERFACEITERATOR_H_
#define TQAPAL_PROTONS_ENUMERATION_LINUXU_TDEVICEINTERFACEITERATOR_H_

#include <glob.h>

#include <cstddef>
#include <cstdint>

#include "error/JsonStatus.h"
#include "tqapal/protons/enumeration/linuxU/tFixedPath.h"
#include "tqapal/tStatus.h"

namespace nTQVLKAET100 {
namespace nTQAPAL000 {

// Reporting sites of the iterator.
inline constexpr const char* kIteratorFile =
    "tqapal/protons/enumeration/linuxU/tDeviceInterfaceIterator";
inline constexpr tqerr::ErrorLocation kSiteSearchFailed = {kIteratorFile, 44, kComponentTool,
                                                           "tqapalerr_searchFailed"};
inline constexpr tqerr::ErrorLocation kSiteNoCurrentEntry = {kIteratorFile, 171, kComponentTool,
                                                             "tqapalerr_resourceNotFound"};

// Where the driver publishes its devices.
inline constexpr const char* kDriverProcRoot = "/proc/driver/tq";

class tDeviceInterfaceIterator {
 public:
  tDeviceInterfaceIterator(const char* interfaceKind, tStatus& status);
  // Searches below procRoot instead of the driver's own tree (a test tree).
  tDeviceInterfaceIterator(const char* procRoot, const char* interfaceKind, tStatus& status);
  ~tDeviceInterfaceIterator();
  tDeviceInterfaceIterator(const tDeviceInterfaceIterator&) = delete;
  tDeviceInterfaceIterator& operator=(const tDeviceInterfaceIterator&) = delete;

  bool atEnd() const;
  // Moves to the following interface; does nothing at the end.
  void next();

  // Path of the current interface directory, or null at the end.
  const char* currentEntry() const;

  // Reads the device-node path of the current interface.
  void getInterfacePath(tFixedPath& path, tStatus& status) const;
  // readDeviceFile("deviceProperties", name, ...).
  void getDeviceProperty(const char* name, void* buffer, std::size_t bufferSize,
                         std::size_t* bytesRead, tStatus& status) const;
  // Reads <device directory>/<directoryName>/<fileName> of the current
  // interface's device (see readRawFile for the buffer rules).
  void readDeviceFile(const char* directoryName, const char* fileName, void* buffer,
                      std::size_t bufferSize, std::size_t* bytesRead, tStatus& status) const;

 private:
  void search(const char* procRoot, const char* interfaceKind, tStatus& status);

  glob_t found_;
  char** cursor_;
};

}  // namespace nTQAPAL000
}  // namespace nTQVLKAET100

#endif  // TQAPAL_PROTONS_ENUMERATION_LINUXU_TDEVICEINTERFACEITERATOR_H_
