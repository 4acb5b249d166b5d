#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# check.sh BUILD_DIR [DEB]: lintian on the package (no error, no warning that
# is not overridden in debian/*.lintian-overrides with its reason), and its
# file list: the tool, both units, the udev rule, the manual pages, the
# completion and the example, and every file that BUILD_DIR's install rules
# install (any further program in sbin or bin included). DEB defaults to $TQ_DEB, then to the newest
# build/tqvlkaepropinit_*.deb. Exit status 77 when there is none or lintian
# is missing (1 then as well when TQ_REQUIRE_ALL_TIERS=1).
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD=$1
source "$ROOT/tests/support/tier.sh"
DEB=${2:-${TQ_DEB:-$(tq_newest_package "$ROOT")}}
skip() { tq_tier_unavailable package "$*"; }
[ -n "$DEB" ] && [ -f "$DEB" ] || skip "no package built (run scripts/package)"
command -v lintian >/dev/null || skip "lintian is not installed"
echo "package: $DEB"

status=0
# Pedantic and experimental tags too; the information tags are shown.
if ! lintian --fail-on error,warning --pedantic --display-info "$DEB"; then
  echo "lintian: not clean"
  status=1
fi

files=$(dpkg-deb -c "$DEB" | awk '{ print $6 }')
for wanted in ./usr/sbin/tqvlkaepropinit ./usr/sbin/tqvlkaectl \
  ./lib/systemd/system/tqvlkaepropinit.service \
  ./lib/systemd/system/tqvlkaepropinit-resume.service \
  ./lib/systemd/system/tqvlkaectl-metrics.service ./lib/systemd/system/tqvlkaectl-metrics.timer \
  ./lib/udev/rules.d/70-tqvlkaepropinit.rules \
  ./usr/share/man/man8/tqvlkaepropinit.8.gz \
  ./usr/share/man/man5/tqvlkae.ini.5.gz ./usr/share/man/man8/tqvlkaectl.8.gz \
  ./usr/share/bash-completion/completions/tqvlkaepropinit \
  ./usr/share/bash-completion/completions/tqvlkaectl \
  ./usr/share/doc/tqvlkaepropinit/examples/tqvlkae.ini \
  ./usr/share/doc/tqvlkaepropinit/examples/tqvlkae-rules.yml \
  ./usr/share/doc/tqvlkaepropinit/copyright; do
  grep -qx "$wanted" <<<"$files" || {
    echo "missing from the package: $wanted"
    status=1
  }
done
# The settings directory, as the manual asks: root's, written by root alone.
grep -q '^drwxr-xr-x root/root .* \./var/lib/tq-vlnk/$' < <(dpkg-deb -c "$DEB") || {
  echo "the package does not hold ./var/lib/tq-vlnk/ as drwxr-xr-x root/root"
  status=1
}
# Everything the build's install rules install is in the package (manual
# pages compressed).
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
DESTDIR=$stage cmake --install "$BUILD" --prefix /usr >/dev/null
while IFS= read -r installed; do
  [[ $installed == ./usr/share/man/* ]] && installed+=.gz
  grep -qxF "$installed" <<<"$files" || {
    echo "installed by the build but not in the package: $installed"
    status=1
  }
done < <(cd "$stage" && find . -type f -o -type l)
echo "package: $(grep -c -v '/$' <<<"$files") files and links"
exit $status
