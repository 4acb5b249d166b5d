#!/usr/bin/python
# SPDX-License-Identifier: MIT
# The settings file on a bench and the devices brought to it. The new text
# is checked by tqvlkaectl check before it replaces the old; the file is
# replaced whole under its lock (module_utils/settings_file.py) or left
# alone when byte-equal; tqvlkaectl apply then writes only the values that
# differ and proves each by reading it back. A failed apply fails the task
# and puts the old file back, so a failed host is left as it was.
from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: settings
short_description: Put the settings file on a bench and bring its devices to it
description:
  - Replaces the settings file that C(tqvlkaepropinit --restore) reads at boot, then runs
    C(tqvlkaectl apply), which writes only the port properties that differ from the file,
    reads each back, and puts every value it changed back when anything fails.
  - The new text is checked with C(tqvlkaectl check) first; an error fails the task with the
    line numbers of the new text and leaves the old file in place.
  - The file is replaced whole under the exclusive lock that restore respects (a temporary file
    in the same directory, fsync, rename, directory fsync; mode and owner kept). A file that
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
      - The whole settings file. Mutually exclusive with C(src).
      - Without C(content) and C(src) the file stays as it is (and is applied when C(apply) is true).
    type: str
  src:
    description:
      - A file on the controller (looked up as the copy module does) holding the whole settings
        file; it must be UTF-8 text. Mutually exclusive with C(content).
    type: path
  path:
    description:
      - The settings file. Default the file that restore reads on the host, as C(tqvlkaectl)
        names it (C(/var/lib/tq-vlnk/tqvlkae.ini) unless the installation is relocated).
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
  - Entries merged into the existing file (a key-to-value mapping) are not supported yet; give the
    whole file.
  - Supports check mode and diff mode.
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

import os
import tempfile

from ansible.module_utils.basic import AnsibleModule
from ansible.module_utils.common.text.converters import to_bytes, to_text

from ansible_collections.tqvlkae.bench.plugins.module_utils import settings_file, tqvlkaectl


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


def check_file(module, new, result):
    """Runs check on the new text (a temporary copy; None: the file as it
    is) and puts its warnings into result. Errors in new text fail the task
    with the new text's lines; those of the file as it is are left to apply,
    which refuses it. Returns the file checked."""
    checked = result["path"]
    if new is not None:
        handle, checked = tempfile.mkstemp(prefix="tqvlkae-", suffix=".ini", dir=module.tmpdir)
        with os.fdopen(handle, "wb") as stream:
            stream.write(new)
    elif not os.path.exists(checked):
        return checked
    _, document = tqvlkaectl.run(module, ["check", "--json", "--", checked])
    result["check_warnings"] = tqvlkaectl.problem_lines(document, "warning")
    errors = tqvlkaectl.problem_lines(document, "error")
    if errors and new is not None:
        module.fail_json(msg="the new settings text has errors, the file is left as it was: " + "; ".join(errors),
                         errors=errors, **result)
    return checked


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
            path=dict(type="path"),
            apply=dict(type="bool", default=True),
            serial=dict(type="list", elements="str", default=[]),
            verify_timeout=dict(type="float"),
            backup=dict(type="bool", default=False),
            **tqvlkaectl.COMMON_OPTIONS
        ),
        mutually_exclusive=[("content", "src")],
        supports_check_mode=True,
    )
    if module.params["src"] is not None:
        module.fail_json(msg="src reaches the module only through its action plugin (tqvlkae.bench.settings)")
    if module.params["apply"] and not tqvlkaectl.has_apply(module):
        module.fail_json(msg="this tqvlkaectl has no apply command; install a newer package, or set apply: false")

    path = module.params["path"] or tqvlkaectl.default_path(module)
    result = dict(changed=False, path=path, file_changed=False, check_warnings=[])
    try:
        old = settings_file.read(path)
    except settings_file.SettingsFileError as error:
        module.fail_json(msg=str(error), **result)

    content = module.params["content"]
    new = old if content is None else to_bytes(content, errors="surrogate_or_strict")
    result["file_changed"] = new != old
    diffs = []
    if result["file_changed"]:
        diffs.append(dict(before_header=path, after_header=path, before=to_text(old or b""), after=to_text(new)))
    target = check_file(module, new if result["file_changed"] else None, result)

    if module.check_mode:
        if module.params["apply"]:
            status = run_apply(module, target, True, result)
            if status == tqvlkaectl.TROUBLE:
                module.fail_json(msg="apply --check found trouble: " + result["apply"].get("summary", ""), **result)
            diffs.append(device_diff(result["apply"]))
            result["changed"] = status == tqvlkaectl.FOUND
        result["changed"] = result["changed"] or result["file_changed"]
        module.exit_json(diff=diffs, **result)

    if result["file_changed"]:
        if module.params["backup"] and old is not None:
            result["backup_file"] = module.backup_local(path)
        try:
            settings_file.replace(path, old, new)
        except settings_file.SettingsFileError as error:
            module.fail_json(msg=str(error), **result)
        result["changed"] = True

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
                try:
                    settings_file.replace(path, new, old)
                    result["file_restored"] = True
                except settings_file.SettingsFileError as error:
                    result["file_restored"] = False
                    message += "; the old file could not be put back: %s" % error
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
