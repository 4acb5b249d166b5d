# SPDX-License-Identifier: MIT
# The collection's only way to the devices and to the settings file's
# grammar: it runs the companion tqvlkaectl and reads its JSON documents
# (their JSON Schemas ship with the companion). Nothing here parses a
# settings file. It promises: a document, or a failed task saying which
# command failed, its exit status and its standard error; never a guess.
from __future__ import absolute_import, division, print_function

__metaclass__ = type

import json

# The companion's exit statuses (its manual page).
CLEAN = 0
FOUND = 1  # errors, out of sync, changes needed; apply: failed and rolled back
TROUBLE = 2
ROLLBACK_FAILED = 3

COMMON_OPTIONS = dict(
    executable=dict(type="path"),
)


def companion(module):
    """The tqvlkaectl to run: the executable option, else the one on PATH or in /usr/sbin."""
    given = module.params.get("executable")
    if given:
        return given
    return module.get_bin_path("tqvlkaectl", required=True, opt_dirs=["/usr/sbin", "/sbin"])


def run(module, args, accept=(CLEAN, FOUND)):
    """Runs tqvlkaectl ARGS; returns (status, document). A status
    outside accept, or output that is not a JSON object, fails the task."""
    command = [companion(module)] + list(args)
    status, out, err = module.run_command(command)
    document = None
    try:
        document = json.loads(out) if out.strip() else None
    except ValueError:
        document = None
    if status not in accept or not isinstance(document, dict):
        module.fail_json(
            msg="%s exited %d: %s" % (" ".join(command), status, (err.strip() or out.strip() or "no output")),
            rc=status, stdout=out, stderr=err, document=document)
    return status, document


def default_path(module):
    """The settings file restore reads on this host, as the companion names it
    (its check document of the default file, relocation included)."""
    _, document = run(module, ["check", "--json"])
    path = document.get("file")
    if not path:
        module.fail_json(msg="tqvlkaectl check --json did not name the settings file", document=document)
    return path


def has_apply(module):
    """Whether this companion has the apply command."""
    status, _, _ = module.run_command([companion(module), "apply", "--help"])
    return status == CLEAN


def problem_lines(document, severity):
    """check's problems of one severity as 'line N: message' (file-wide ones without a line)."""
    lines = []
    for problem in document.get("problems", []):
        if problem.get("severity") != severity:
            continue
        line = problem.get("line")
        where = "line %s: " % line if line else ""
        lines.append(where + problem.get("message", ""))
    return lines
