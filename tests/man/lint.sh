#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# lint.sh PAGE...: renders each manual page with groff (-ww: every warning)
# and checks it with mandoc's linter; any message fails. Of mandoc's, only
# the paragraph macros that scdoc sets after every heading and before every
# paragraph ("PP empty", "PP after SH/SS") are let through: they are how the
# generator writes every page, and no reader shows them.
set -uo pipefail
status=0
for page in "$@"; do
  out=$({
    LC_ALL=C.UTF-8 groff -ww -z -man -Tutf8 "$page"
    mandoc -T lint -W warning "$page" |
      grep -Ev 'WARNING: skipping paragraph macro: PP (empty|after S[HS])$'
  } 2>&1)
  if [ -n "$out" ]; then
    echo "$page:"
    echo "$out"
    status=1
  fi
done
[ "$#" -gt 0 ] || { echo "no manual pages given"; status=1; }
exit $status
