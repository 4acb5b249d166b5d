// SPDX-License-Identifier: MIT
// A whole output file put in place in one step, for readers that may look
// at any moment (the node exporter reading a metrics file): the bytes go to
// a new temporary file in the same directory (".NAME.XXXXXX", created
// exclusively, mode 0644 whatever the umask), are synced to disk, and the
// temporary file is renamed over the path; then the directory is synced. A
// reader sees the whole old file or the whole new one, never a part. The
// directory must exist. A failure removes the temporary file, leaves the
// old file as it was, and throws tCtlTrouble naming the path and the
// system's reason.
//
// The settings file has its own replacement (settings/replaceSettingsFile.h)
// with a lock and the old file's owner and mode, which an output file does
// not want.
#ifndef CTL_OUTPUTFILE_H_
#define CTL_OUTPUTFILE_H_

#include <string>

namespace nTQVLKAET100 {

void replaceOutputFile(const std::string& path, const std::string& bytes);

}  // namespace nTQVLKAET100

#endif  // CTL_OUTPUTFILE_H_
