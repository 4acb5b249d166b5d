// SPDX-License-Identifier: MIT
// Replaces the settings file with new content so that, at every moment and
// after a crash or a power cut at any step, the path holds either the whole
// old file or the whole new one, and a process reading it (restore at boot)
// reads one or the other, never a mixture.
//
// The sequence: take the exclusive flock lock on the file (creating it empty,
// mode 0644, and its missing directories, mode 0755, when absent) and hold it
// until the end; check that the file still holds what the caller rewrote;
// create a temporary file in the same directory exclusively (mkstemp: never
// through an existing name or link) with the old file's owner and mode (a
// caller that may not give it that owner fails rather than change it); write
// the new content, fsync it, rename it over the file, fsync the directory.
// A path that is a symbolic link stays one: the file it points to is
// replaced, in that file's directory (a link that points nowhere is refused).
//
// Why old or new, never a mixture: no byte of a file is changed once it is
// reachable through the path. The new content is complete and on disk in an
// inode of its own before rename swaps the name over in one step; a reader
// that opened the old inode keeps reading the old inode whole, one that opens
// after the rename reads the new one. The lock does not carry that promise;
// it orders writers: readers take a shared lock on the inode they opened, so
// a writer waits until they are done with the file it replaces, and two
// writers never replace the same file at once. Since the rename makes the
// lock's inode unreachable, a writer that waited for the lock then checks
// that the path still names the inode it locked, and starts again on the new
// one when it does not; a writer that wrote its own file meanwhile is
// detected by the content check (expectedOld), which gives no lost update.
//
// A temporary file cannot outlive a failure reported here (it is removed);
// one left by a killed run ("." + file name + ".new-" + 6 characters) is
// removed by the next run once it holds the lock.
#ifndef SETTINGS_REPLACESETTINGSFILE_H_
#define SETTINGS_REPLACESETTINGSFILE_H_

#include <string>
#include <string_view>

#include "tqapal/posixCalls.h"
#include "tqapal/tStatus.h"

namespace nTQVLKAET100 {

// What a replacement came to.
enum class tReplaceResult {
  kReplaced,     // the new content is in place
  kFileChanged,  // the file held other bytes: nothing written, the caller rewrites again
  kFailed,       // recorded in the status
};

// Replaces the file at path with newBytes, provided it still holds
// expectedOld (an absent file holds ""). A failure is recorded in status (the
// operating system's error number by nTQAPAL000::mapErrno, the step's site);
// a failure of the last step, the directory's fsync, comes after the new
// content is in place. notice is called once when another program's lock
// keeps the writer waiting for more than a moment.
tReplaceResult replaceSettingsFile(const std::string& path, std::string_view expectedOld,
                                   std::string_view newBytes, nTQAPAL000::tStatus& status,
                                   const nTQAPAL000::tLockWaitNotice& notice = {});

// The same at a boundary: throws tqerr::Exception for a recorded failure, so
// it returns kReplaced or kFileChanged.
tReplaceResult replaceSettingsFile(const std::string& path, std::string_view expectedOld,
                                   std::string_view newBytes,
                                   const nTQAPAL000::tLockWaitNotice& notice = {});

}  // namespace nTQVLKAET100

#endif  // SETTINGS_REPLACESETTINGSFILE_H_
