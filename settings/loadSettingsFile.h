// Loading of the settings file "tqvlkae.ini" from the product's directory
// under the shared state directory (/var/lib/tq-vlnk by default). The file is
// read whole under a shared advisory lock, so that a writer holding an
// exclusive lock is never read half-written, and parsed by the INI reader.
// A missing or unreadable file is not an error: it yields an empty tree.
#ifndef SETTINGS_LOADSETTINGSFILE_H_
#define SETTINGS_LOADSETTINGSFILE_H_

#include <boost/property_tree/ptree.hpp>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace nTQVLKAET100 {

constexpr const char* kSettingsFileName = "tqvlkae.ini";

// The settings file's path in the multibyte encoding; throws the path
// layer's cExceptionBase when the directory cannot be computed.
std::string settingsFilePath();

// Throws std::runtime_error for fstat and read failures, tqerr::Exception
// when the lock cannot be taken, the INI reader's error for syntax errors.
// Lock and descriptor are released on every exit.
boost::property_tree::ptree loadSettingsFile();

// The file at path read whole under a shared lock, as loadSettingsFile reads
// its own; nothing (errno as open left it) when it cannot be opened. Throws
// as loadSettingsFile does for fstat, read and lock failures.
std::optional<std::string> readSettingsFile(const std::string& path);

// The text that the settings readers see in the bytes of the file: up to the
// first zero byte, or all size bytes.
std::string_view settingsText(const char* bytes, std::size_t size);

// The parse step of loadSettingsFile on bytes already read: settingsText
// goes through the INI reader. Throws the reader's error (an
// ini_parser_error) for syntax errors.
boost::property_tree::ptree parseSettingsText(const char* bytes, std::size_t size);

}  // namespace nTQVLKAET100

#endif  // SETTINGS_LOADSETTINGSFILE_H_
