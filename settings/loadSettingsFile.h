// SPDX-License-Identifier: MIT
// Loading of the settings file "tqvlkae.ini" from the product's directory
// under the shared state directory (/var/lib/tq-vlnk by default). The file is
// read whole under a shared advisory lock, so that a writer holding an
// exclusive lock is never read half-written, and parsed by the INI reader.
// A missing file (or directory) is not an error: there is nothing to apply.
// A file that exists but cannot be opened is a read failure, like one that
// cannot be read.
#ifndef SETTINGS_LOADSETTINGSFILE_H_
#define SETTINGS_LOADSETTINGSFILE_H_

#include <boost/property_tree/ptree.hpp>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "tqapal/posixCalls.h"

namespace nTQVLKAET100 {

constexpr const char* kSettingsFileName = "tqvlkae.ini";

// The settings file's path in the multibyte encoding; throws the path
// layer's cExceptionBase when the directory cannot be computed.
std::string settingsFilePath();

// Whether a failed open's error number means that there is no such file
// (ENOENT, or ENOTDIR for a missing directory): nothing to apply. Any other
// failure of open is a read failure.
bool isMissingFileError(int errnoValue);

// The bytes of the settings file at path, read whole under the shared lock;
// nullopt when it is missing. Throws as readSettingsFile does for every other
// failure. The checker reads the same bytes that restore parses. notice is
// called once when another program's lock keeps the reader waiting for more
// than a moment (restore passes none and waits silently).
std::optional<std::string> readSettingsBytes(const std::string& path,
                                             const nTQAPAL000::tLockWaitNotice& notice = {});

// Reads and parses the settings file at path into tree, which it replaces;
// false (tree left empty) when the file is missing. Throws
// std::runtime_error("The INI file could not be read.") when it cannot be
// opened or read, std::runtime_error for an fstat failure, tqerr::Exception
// when the lock cannot be taken, the INI reader's error for syntax errors.
// Lock and descriptor are released on every exit. The tree is built where
// the caller holds it: the property tree has no move constructor, and a copy
// of a large file's tree doubles the peak memory of restore.
bool readSettingsFile(const std::string& path, boost::property_tree::ptree& tree);

// readSettingsFile(settingsFilePath()), an empty tree when the file is
// missing.
boost::property_tree::ptree loadSettingsFile();

// The text that the settings readers see in the bytes of the file: up to the
// first zero byte, or all size bytes.
std::string_view settingsText(const char* bytes, std::size_t size);

// The parse step of loadSettingsFile on bytes already read: settingsText
// goes through the INI reader. Throws the reader's error (an
// ini_parser_error) for syntax errors.
boost::property_tree::ptree parseSettingsText(const char* bytes, std::size_t size);

// The same into the caller's tree, which it replaces.
void parseSettingsText(const char* bytes, std::size_t size, boost::property_tree::ptree& tree);

}  // namespace nTQVLKAET100

#endif  // SETTINGS_LOADSETTINGSFILE_H_
