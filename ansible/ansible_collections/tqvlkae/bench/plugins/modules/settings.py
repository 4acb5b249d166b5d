#!/usr/bin/python
# SPDX-License-Identifier: MIT
# The settings file on a bench and the devices brought to it. The file is
# written by tqvlkaectl set only: it merges entries (or puts the whole text),
# checks the new text before it replaces the old, replaces the file whole
# under its lock or leaves it alone when byte-equal, and its dry run gives
# check mode and diff mode what would change. tqvlkaectl apply then writes
# only the values that differ and proves each by reading it back. A failed
# apply fails the task and puts the old file back, so a failed host is left
# as it was.
from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: settings
short_description: Put the settings file on a bench and bring its devices to it
description:
  - Replaces the settings file that C(tqvlkaepropinit --restore) reads at boot, or merges entries
    into it, then runs C(tqvlkaectl apply), which writes only the port properties that differ
    from the file, reads each back, and puts every value it changed back when anything fails.
  - The file is written by C(tqvlkaectl set), which checks the new text first (an error fails
    the task with the line numbers of the new text and leaves the old file in place) and
    replaces the file whole under the exclusive lock that restore respects (a temporary file in
    the same directory, fsync, rename, directory fsync; mode and owner kept). A file that
    already holds the same bytes is left alone.
  - A failed apply fails the task with the report line of the failure and whether the devices
    were rolled back; the old file is then put back, so the host is as it was.
  - Check mode writes nothing and says what would change (the file, and the device writes from
    C(tqvlkaectl apply --check)); diff mode shows the file's unified diff and the device writes.
version_added: "0.1.0"
author: tqvlkaepropinit developers
options:
  content:
    description:
      - The whole settings file. Mutually exclusive with C(src) and C(entries).
      - Without C(content), C(src) and C(entries) the file stays as it is (and is applied when
        C(apply) is true).
    type: str
  entries:
    description:
      - Port settings merged into the file as it is, key to value (C(1a5_0_linkspeed) to C(1000)).
        Every entry naming the same port property gets the value in place, a property no entry
        names is added to the end of C([PortSetting]), and every other byte of the file stays as
        it was (C(tqvlkaectl set)). Keys and values are read as restore reads them.
      - C(forcelinkdisable) cannot be set (restore clears it on every port after the entries).
      - Mutually exclusive with C(content) and C(src).
    type: dict
  src:
    description:
      - A file on the controller (looked up as the copy module does) holding the whole settings
        file; it must be UTF-8 text. Mutually exclusive with C(content) and C(entries).
    type: path
  path:
    description:
      - The settings file. Default the file that restore reads on the host, as C(tqvlkaectl)
        names it (C(/var/lib/tq-vlnk/tqvlkae.ini) unless the installation is relocated).
      - A path holding C(=) is refused (C(tqvlkaectl set) reads such an argument as an entry).
    type: path
  apply:
    description: Run C(tqvlkaectl apply) on the file once it is in place.
    type: bool
    default: true
  serial:
    description: Only the AE devices with these serials (hexadecimal), as C(tqvlkaectl apply --serial).
    type: list
    elements: str
    default: []
  verify_timeout:
    description:
      - Seconds a value that does not read back as written is retried (C(apply --verify-timeout));
        default the companion's own.
    type: float
  backup:
    description: Keep a copy of the old file beside it, with a time stamp in its name, before replacing it.
    type: bool
    default: false
  executable:
    description: The C(tqvlkaectl) to run; default the one on PATH or in C(/usr/sbin).
    type: path
notes:
  - Supports check mode and diff mode (the file's unified diff and the device writes).
  - When an apply fails after a file that did not exist was written, an empty file is put back
    in its place (restore applies nothing from either).
seealso:
  - module: tqvlkae.bench.info
"""

EXAMPLES = r"""
- name: Put the bench's settings and bring its devices to them
  tqvlkae.bench.settings:
    content: |
      [PortSetting]
      1a5_0_linkspeed=1000
      1a5_1_linkspeed=100
    backup: true

- name: The same from a file on the controller, for one device only
  tqvlkae.bench.settings:
    src: files/bench-7.ini
    serial: [1a5]
    verify_timeout: 5

- name: Set two port properties, keeping the rest of the file as it is
  tqvlkae.bench.settings:
    entries:
      1a5_0_linkspeed: 1000
      1a5_1_jumboframes: 9000

- name: Write the file only; the next boot's restore applies it
  tqvlkae.bench.settings:
    src: files/bench-7.ini
    apply: false
"""

RETURN = r"""
changed:
  description: The file was replaced or a device value was written (in check mode, would be).
  returned: always
  type: bool
path:
  description: The settings file.
  returned: always
  type: str
  sample: /var/lib/tq-vlnk/tqvlkae.ini
file_changed:
  description: The file's bytes differ from the new text (in check mode, would be replaced).
  returned: always
  type: bool
backup_file:
  description: The copy of the old file, when C(backup) made one.
  returned: when a backup was made
  type: str
entries:
  description: What C(tqvlkaectl set) did with each entry (key, value as written, and changed, added or already right).
  returned: when C(entries) is given
  type: list
  elements: dict
check_warnings:
  description: The warnings of C(tqvlkaectl check) about the file, each as C(line N) and the message.
  returned: always
  type: list
  elements: str
apply:
  description:
    - The document of C(tqvlkaectl apply --json) (with C(--check) in check mode), as its JSON Schema
      (/usr/share/tqvlkaepropinit/schemas/apply.schema.json) describes it. Its writes list key, line, serial, port, property,
      before, after and verified; failure, rolled_back and rollback_failures tell a failed run.
  returned: when C(apply) is true
  type: dict
rolled_back:
  description: A failed apply put every value it had changed back, read back as before.
  returned: when apply failed
  type: bool
file_restored:
  description: After a failed apply, the old file was put back in place.
  returned: when apply failed after the file was replaced
  type: bool
"""

import errno
import os
import tempfile

from ansible.module_utils.basic import AnsibleModule
from ansible.module_utils.common.text.converters import to_bytes, to_text

from ansible_collections.tqvlkae.bench.plugins.module_utils import tqvlkaectl


def apply_arguments(module, check, target):
    arguments = ["apply", "--json"]
    if check:
        arguments.append("--check")
    for serial in module.params["serial"]:
        arguments += ["--serial", serial]
    if module.params["verify_timeout"] is not None:
        arguments += ["--verify-timeout", "%g" % module.params["verify_timeout"]]
    return arguments + ["--", target]


def device_diff(document):
    """The device writes as before/after text, one line a property."""
    before, after = [], []
    for write in document.get("writes", []):
        where = "%s (serial %s port %s %s)" % (write.get("key"), write.get("serial"), write.get("port"),
                                              write.get("property"))
        before.append("%s: %s\n" % (where, write.get("before")))
        after.append("%s: %s\n" % (where, write.get("after")))
    return dict(before_header="devices", after_header="devices", before="".join(before), after="".join(after))


def temporary(module, data=None):
    """A new path in the module's temporary directory; with data, a file holding it."""
    handle, path = tempfile.mkstemp(prefix="tqvlkae-", suffix=".ini", dir=module.tmpdir)
    with os.fdopen(handle, "wb") as stream:
        stream.write(data or b"")
    if data is None:
        os.unlink(path)
    return path


def read_file(module, path, result):
    """The file's bytes, or None when there is none (for the backup and the way back)."""
    try:
        with open(path, "rb") as stream:
            return stream.read()
    except (IOError, OSError) as error:
        if error.errno == errno.ENOENT:
            return None
        module.fail_json(msg="%s: %s" % (path, os.strerror(error.errno)), **result)


def run_set(module, path, source, dry_run):
    """tqvlkaectl set on path: the whole text from source (a file; None: the
    file's own), the entries merged; returns its document. A refused text
    (errors check finds) is the document's outcome, trouble fails the task."""
    arguments = ["set", "--json"]
    if dry_run:
        arguments.append("--dry-run")
    if source is not None:
        arguments += ["--from", source]
    arguments += ["--", path]
    for key, value in (module.params["entries"] or {}).items():
        arguments.append("%s=%s" % (to_text(key), to_text(value)))
    return tqvlkaectl.run(module, arguments)[1]


def refuse(module, document, result):
    errors = tqvlkaectl.problem_lines(document, "error") + document.get("refusals", [])
    module.fail_json(msg="the new settings text has errors, the file is left as it was: " + "; ".join(errors),
                     errors=errors, **result)


def check_file(module, path, result):
    """check's warnings of the file as it is; its errors are left to apply, which refuses it."""
    if os.path.exists(path):
        _, document = tqvlkaectl.run(module, ["check", "--json", "--", path])
        result["check_warnings"] = tqvlkaectl.problem_lines(document, "warning")


def run_apply(module, target, check, result):
    """apply (--check) on target; returns its exit status, its document in result["apply"]."""
    status, document = tqvlkaectl.run(module, apply_arguments(module, check, target),
                                      accept=(tqvlkaectl.CLEAN, tqvlkaectl.FOUND, tqvlkaectl.TROUBLE,
                                              tqvlkaectl.ROLLBACK_FAILED))
    result["apply"] = document
    return status


def failure_message(document, status):
    failure = document.get("failure") or {}
    report = failure.get("report", "no report")
    line = failure.get("line")
    where = "line %s: " % line if line else ""
    if status == tqvlkaectl.ROLLBACK_FAILED:
        left = ["%s was %s, now %s" % (item.get("key"), item.get("before"), item.get("now"))
                for item in document.get("rollback_failures", [])]
        return "apply failed (%s%s) and the rollback failed; left changed: %s" % (where, report, ", ".join(left))
    return "apply failed (%s%s); every value it changed was put back" % (where, report)


def main():
    module = AnsibleModule(
        argument_spec=dict(
            content=dict(type="str"),
            src=dict(type="path"),
            entries=dict(type="dict"),
            path=dict(type="path"),
            apply=dict(type="bool", default=True),
            serial=dict(type="list", elements="str", default=[]),
            verify_timeout=dict(type="float"),
            backup=dict(type="bool", default=False),
            **tqvlkaectl.COMMON_OPTIONS
        ),
        mutually_exclusive=[("content", "src", "entries")],
        supports_check_mode=True,
    )
    if module.params["src"] is not None:
        module.fail_json(msg="src reaches the module only through its action plugin (tqvlkae.bench.settings)")
    if module.params["apply"] and not tqvlkaectl.has_apply(module):
        module.fail_json(msg="this tqvlkaectl has no apply command; install a newer package, or set apply: false")

    path = module.params["path"] or tqvlkaectl.default_path(module)
    result = dict(changed=False, path=path, file_changed=False, check_warnings=[])
    if "=" in path:
        module.fail_json(msg="a settings path holding '=' cannot be given to tqvlkaectl set", **result)
    content = module.params["content"]
    source = None if content is None else temporary(module, to_bytes(content, errors="surrogate_or_strict"))
    diffs = []
    target = path
    if source is None and not module.params["entries"]:
        check_file(module, path, result)
    else:
        # What would change, and check's verdict on the new text.
        preview = run_set(module, path, source, True)
        result["check_warnings"] = tqvlkaectl.problem_lines(preview, "warning")
        if preview.get("outcome") == "refused":
            refuse(module, preview, result)
        if module.params["entries"]:
            result["entries"] = preview.get("entries", [])
        result["file_changed"] = preview.get("outcome") == "dry run"
        if result["file_changed"]:
            diffs.append(dict(prepared=preview.get("diff", "")))

    if module.check_mode:
        if module.params["apply"]:
            if result["file_changed"]:
                # apply --check needs the new text in a file: set writes it into a temporary one.
                target = temporary(module)
                text = source if source is not None else (path if os.path.exists(path) else temporary(module, b""))
                run_set(module, target, text, False)
            status = run_apply(module, target, True, result)
            if status == tqvlkaectl.TROUBLE:
                module.fail_json(msg="apply --check found trouble: " + result["apply"].get("summary", ""), **result)
            diffs.append(device_diff(result["apply"]))
            result["changed"] = status == tqvlkaectl.FOUND
        result["changed"] = result["changed"] or result["file_changed"]
        module.exit_json(diff=diffs, **result)

    old = None
    if result["file_changed"]:
        old = read_file(module, path, result)
        if module.params["backup"] and old is not None:
            result["backup_file"] = module.backup_local(path)
        document = run_set(module, path, source, False)
        if document.get("outcome") == "refused":
            refuse(module, document, result)
        result["file_changed"] = document.get("outcome") == "written"
        result["changed"] = result["file_changed"]

    if module.params["apply"]:
        status = run_apply(module, path, False, result)
        document = result["apply"]
        if status != tqvlkaectl.CLEAN:
            if status == tqvlkaectl.TROUBLE:
                message = "apply refused the file, nothing was written: " + document.get("summary", "")
            else:
                message = failure_message(document, status)
            result["rolled_back"] = bool(document.get("rolled_back"))
            if result["file_changed"]:
                # The old text back through set (an empty file for none).
                command = [tqvlkaectl.companion(module), "set", "--from", temporary(module, old or b""), "--", path]
                back, out, err = module.run_command(command)
                result["file_restored"] = back == tqvlkaectl.CLEAN
                if back != tqvlkaectl.CLEAN:
                    message += "; the old file could not be put back: %s" % (err.strip() or out.strip())
            # Changed only when something stays changed: the new file, or
            # values the rollback could not put back.
            result["changed"] = (result["file_changed"] and not result.get("file_restored")) or bool(
                document.get("rollback_failures"))
            module.fail_json(msg=message, **result)
        diffs.append(device_diff(document))
        result["changed"] = result["changed"] or bool(document.get("changed")) or bool(document.get("writes"))

    module.exit_json(diff=diffs, **result)


if __name__ == "__main__":
    main()
