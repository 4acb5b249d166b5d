#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The systemd boot tier: the built Debian package installed into a minimal
# Debian 12 root file system and booted, with systemd as init, under QEMU with
# the kernel tier's Debian kernel and the test driver module (testbed/kmod/).
#
#   run.sh WORKDIR KERNEL_CACHE [DEB]
#
# DEB defaults to $TQ_DEB, then to the newest build/tqvlkaepropinit_*.deb
# that scripts/package left. KERNEL_CACHE is the kernel tier's work
# directory, whose kernel and module are reused (tests/kernel/kernel.sh).
# The root file system's base (mmdebstrap: minbase, systemd-sysv, udev, kmod
# and the package's dependencies) is cached in WORKDIR, keyed by its
# package list, the apt sources and the mmdebstrap version.
#
# Checks the package's units in the root (systemd-analyze verify, and the
# security exposure at most 3.5), then boots twice: with the driver loaded
# at boot (scenarios boot, metrics-unit, sandbox, bad-entry) and without it
# (no-driver, late-load, resume). Exit status: 0 all passed, 1 a mismatch or
# a broken step, 77 when QEMU, mmdebstrap, apt sources, root rights or the
# package are missing (1 then as well when TQ_REQUIRE_ALL_TIERS=1).
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
source "$HERE/root.sh"
tq_boot_begin boot "$1" "$2"
tq_boot_require "${3:-}"
started=$SECONDS
tq_kernel_prepare "$KCACHE" boot
tq_boot_root "$WORK"

# The package, installed as an administrator would.
cp "$DEB" "$stage/tmp/"
chroot "$stage" dpkg -i "/tmp/$(basename "$DEB")" >"$WORK/dpkg.log" 2>&1 ||
  {
    cat "$WORK/dpkg.log" >&2
    die "dpkg -i failed"
  }
rm "$stage/tmp/$(basename "$DEB")"
[ -L "$wants/tqvlkaepropinit.service" ] || die "the package did not enable tqvlkaepropinit.service"
! ls "$stage"/etc/systemd/system/*.wants/tqvlkaepropinit-resume.service >/dev/null 2>&1 ||
  die "the package enabled the opt-in tqvlkaepropinit-resume.service"
! ls "$stage"/etc/systemd/system/*.wants/tqvlkaectl-metrics.timer >/dev/null 2>&1 ||
  die "the package enabled the opt-in tqvlkaectl-metrics.timer"

# --- the units, checked in the root --------------------------------------------

manuals=$WORK/manuals
rm -rf "$manuals"
dpkg-deb -x "$DEB" "$manuals"
# Every unit the package ships, held to the same checks.
mapfile -t units < <(cd "$manuals" && ls lib/systemd/system/*.service)
[ "${#units[@]}" -ge 2 ] || die "the package holds ${#units[@]} units, expected the boot and the resume unit"
# The timers are verified with them (exposure is a service's).
mapfile -t timers < <(cd "$manuals" && ls lib/systemd/system/*.timer)
# Documentation= is checked against the package's own manual pages.
if ! MANPATH=$manuals/usr/share/man systemd-analyze verify --root="$stage" \
  "${units[@]/#//}" "${timers[@]/#//}" >"$WORK/verify.log" 2>&1 || [ -s "$WORK/verify.log" ]; then
  cat "$WORK/verify.log" >&2
  die "systemd-analyze verify is not clean"
fi
say "systemd-analyze verify: clean (${units[*]##*/} ${timers[*]##*/})"
for unit in "${units[@]##*/}"; do
  if ! systemd-analyze security --offline=true --root="$stage" --threshold=35 \
    "$unit" >"$WORK/security.log" 2>&1; then
    grep -v '^✓' "$WORK/security.log" >&2
    die "security exposure of $unit above 3.5"
  fi
  say "systemd-analyze security: $(grep -o 'exposure level.*' "$WORK/security.log")"
done
# The settings directory, as the manual asks: root's, written by root alone.
settings_dir=$(stat -c '%U:%G %a' "$stage/var/lib/tq-vlnk" 2>&1) || true
[ "$settings_dir" = "root:root 755" ] ||
  die "/var/lib/tq-vlnk after installation: '$settings_dir', expected 'root:root 755'"

# --- guest ----------------------------------------------------------------------

tq_boot_guest "$WORK"
# Scenario files: the restore of the kernel tier (its settings file, driver
# log and values) and bad-entry.scn here.
restore=$(tq_scenario_split "$ROOT/tests/kernel/scenarios/restore.scn" "$WORK")
bad=$(tq_scenario_split "$HERE/bad-entry.scn" "$WORK")
data=$stage/usr/local/lib/tqboot
mkdir -p "$stage/var/lib/tq-vlnk"
cp "$bad/setup" "$data/bad-entry.setup"
cp "$bad/ini" "$data/bad-entry.ini"
cp "$restore/ini" "$stage/var/lib/tq-vlnk/tqvlkae.ini"
install -m 0755 "$HERE/guest/check.sh" "$data/check.sh"
cp "$HERE/guest/tqboot-check.service" "$stage/etc/systemd/system/"
ln -sf ../tqboot-check.service "$wants/"
tq_boot_pack "$WORK"

# --- expectations -----------------------------------------------------------------

expected=$WORK/expected
actual=$WORK/actual
rm -rf "$expected" "$actual"
mkdir -p "$expected" "$actual"
{
  echo "--- starts"
  echo 1
  echo "--- unit"
  echo "condition=yes result=success is-failed=inactive"
  echo "--- log"
  cat "$restore/log"
  echo "--- values"
  cat "$restore/values"
  printf '%s\n' "--- record" result=success exit_status=0 "tqvlkae_last_restore_recorded 1" \
    "tqvlkae_last_restore_success 1"
} >"$expected/boot"
printf '%s\n' "--- exit" 0 "--- driver log compared with the unit's" same >"$expected/sandbox"
printf '%s\n' "--- unit" result=success "--- file" "644 root" "tqvlkae_settings_out_of_sync 0" \
  "tqvlkae_last_restore_success 1" >"$expected/metrics-unit"
{
  echo "--- starts"
  echo 1
  echo "--- unit"
  echo "condition=yes result=exit-code is-failed=failed"
  echo "--- journal"
  cat "$bad/stderr"
  echo "--- log"
  cat "$bad/log"
  echo "--- values"
  cat "$bad/values"
  printf '%s\n' "--- record" result=exit-code exit_status=1 "tqvlkae_last_restore_recorded 1" \
    "tqvlkae_last_restore_success 0"
} >"$expected/bad-entry"
printf '%s\n' "--- starts" 0 "--- unit" "condition=no result=success is-failed=inactive" \
  "--- failed units" "--- record" none "tqvlkae_last_restore_recorded 0" >"$expected/no-driver"
# A driver loaded after boot gets the same restore, once; so does a resume.
cp "$expected/boot" "$expected/late-load"
printf '%s\n' "--- starts" 1 "--- resume unit" "result=success" >"$expected/resume"

# --- boots --------------------------------------------------------------------------

# guest SCENARIO [KERNEL ARGUMENTS...]: one boot; its results in
# $WORK/results-SCENARIO.txt.
guest() {
  local scenario=$1
  shift
  tq_qemu_boot "boot $scenario" "$WORK/root.cpio" 1536M "$BOOT_TIMEOUT" "$WORK/console-$scenario.log" \
    "$WORK/results-$scenario.txt" rdinit=/sbin/init systemd.show_status=false "tq.scenario=$scenario" "$@"
}

# The two boots run side by side, one emulated processor each.
say "boot twice (at most ${BOOT_TIMEOUT}s)"
guest boot modules_load=tqtest &
guest late &
wait
for scenario in boot late; do
  results=$WORK/results-$scenario.txt
  tq_require_end "$results" "$WORK/console-$scenario.log" "the guest of boot $scenario"
  tq_split_results "$results" "$actual"
done

# What the boot unit's wait for udev (ExecStartPre=udevadm settle) costs:
# the unit's time in each boot, as the guest measured it.
for scenario in boot late; do
  say "boot $scenario: $(grep -m1 -o 'unit time.*' "$WORK/console-$scenario.log" ||
    echo "the guest did not measure the unit")"
done

tq_compare "$expected" "$actual" boot metrics-unit sandbox bad-entry no-driver late-load resume
say "$passed passed, $failed failed, $((SECONDS - started))s"
[ "$failed" -eq 0 ]
