# SPDX-License-Identifier: MIT
# Replaces the settings file whole, so that the path holds the whole old
# file or the whole new one at every moment and after a crash at any step,
# and in the order the companion's store keeps: the exclusive flock lock on
# the file (restore reads under a shared one, so a replacement waits for a
# running restore and two writers never overlap), then a check that the path
# still names the locked file and that it still holds what the caller read
# (no lost update), then a temporary file in the same directory with the old
# file's mode and owner, written, fsynced, renamed over the file, and the
# directory fsynced. A symbolic link stays one: the file it names is
# replaced. A failure raises SettingsFileError and leaves no temporary file.
from __future__ import absolute_import, division, print_function

__metaclass__ = type

import errno
import fcntl
import os
import stat
import tempfile


class SettingsFileError(Exception):
    pass


def read(path):
    """The file's bytes, or None when there is no file."""
    try:
        with open(path, "rb") as stream:
            return stream.read()
    except OSError as error:
        if error.errno == errno.ENOENT:
            return None
        raise SettingsFileError("%s: %s" % (path, os.strerror(error.errno)))


def _target(path):
    if os.path.islink(path) and not os.path.exists(path):
        raise SettingsFileError("%s: a symbolic link that points nowhere" % path)
    return os.path.realpath(path)


def _read_fd(fd):
    chunks = []
    while True:
        chunk = os.read(fd, 65536)
        if not chunk:
            return b"".join(chunks)
        chunks.append(chunk)


def _locked(target):
    """A descriptor of target holding its exclusive lock, the file created
    empty (mode 0644) when absent; taken again when the file was replaced
    while this waited."""
    directory = os.path.dirname(target)
    if not os.path.isdir(directory):
        os.makedirs(directory, 0o755)
    while True:
        fd = os.open(target, os.O_RDONLY | os.O_CREAT | os.O_CLOEXEC, 0o644)
        try:
            fcntl.flock(fd, fcntl.LOCK_EX)
            held = os.fstat(fd)
            now = os.stat(target)
        except OSError:
            os.close(fd)
            raise
        if (held.st_dev, held.st_ino) == (now.st_dev, now.st_ino):
            return fd, held
        os.close(fd)


def replace(path, expected, new):
    """Puts new (bytes; None removes the file) at path, provided the file
    still holds expected (None: absent)."""
    try:
        target = _target(path)
        fd, held = _locked(target)
    except OSError as error:
        raise SettingsFileError("%s: %s" % (path, os.strerror(error.errno)))
    temporary = None
    try:
        current = _read_fd(fd)
        if current != (expected or b""):
            raise SettingsFileError("%s changed while it was being replaced: nothing written; run again" % path)
        directory = os.path.dirname(target)
        if new is None:
            os.unlink(target)
        else:
            handle, temporary = tempfile.mkstemp(prefix="." + os.path.basename(target) + ".new-", dir=directory)
            try:
                os.fchmod(handle, stat.S_IMODE(held.st_mode))
                if (held.st_uid, held.st_gid) != (os.geteuid(), os.getegid()):
                    os.fchown(handle, held.st_uid, held.st_gid)
                view = memoryview(new)
                while view:
                    view = view[os.write(handle, view):]
                os.fsync(handle)
            finally:
                os.close(handle)
            os.rename(temporary, target)
            temporary = None
        directory_fd = os.open(directory, os.O_RDONLY | os.O_DIRECTORY | os.O_CLOEXEC)
        try:
            os.fsync(directory_fd)
        finally:
            os.close(directory_fd)
    except OSError as error:
        raise SettingsFileError("%s: %s" % (error.filename or path, os.strerror(error.errno)))
    finally:
        if temporary is not None:
            try:
                os.unlink(temporary)
            except OSError:
                pass
        os.close(fd)
