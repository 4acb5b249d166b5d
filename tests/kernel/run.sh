#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The kernel tier: runs the tool against the test driver module inside a
# real Debian kernel booted under QEMU.
#
#   run.sh TOOL CLIENT WORKDIR [SCENARIO...]
#
# CLIENT is the simulator's request client (tests/testbed/sim/simclient.c), which
# sends the requests the tool never sends. The companion tqvlkaectl runs in
# the scenarios whose program is ctl: TQ_KERNEL_CTL names it, by default the
# one built beside TOOL.
# Fetches the kernel image and headers that Debian's metapackages name now
# (cached in WORKDIR/debs), unpacks them into WORKDIR/kernel, builds testbed/kmod/
# with kbuild, packs busybox, the module, the tool with its libraries and the
# scenarios into an initramfs, boots it once, and compares the results of
# every scenario with its expectations. Offline, a kernel cached in
# WORKDIR/debs is used. Exit status: 0 all passed, 1 a mismatch or a broken
# step, 77 (skipped) when QEMU or busybox are not installed or no kernel can
# be downloaded and none is cached; TQ_REQUIRE_ALL_TIERS=1 makes those 1 too
# (tests/support/tier.sh).
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
source "$ROOT/tests/support/tier.sh"
source "$ROOT/tests/support/qemu.sh"
source "$HERE/scenario.sh"
TOOL=$(realpath "$1")
CLIENT=$(realpath "$2")
CTL=$(realpath "${TQ_KERNEL_CTL:-$(dirname "$TOOL")/../ctl/tqvlkaectl}")
WORK=$3
shift 3
mkdir -p "$WORK"
WORK=$(realpath "$WORK")
BOOT_TIMEOUT=${TQ_KERNEL_BOOT_TIMEOUT:-150}

say() { echo "kernel tier: $*"; }
die() {
  echo "kernel tier: $*" >&2
  exit 1
}

for program in qemu-system-x86_64 busybox; do
  if ! command -v "$program" >/dev/null; then
    tq_tier_unavailable kernel "$program is not installed (scripts/test installs it)"
  fi
done
busybox_bin=$(command -v busybox)
ldd "$busybox_bin" >/dev/null 2>&1 &&
  die "$busybox_bin is dynamically linked; install busybox-static"

source "$HERE/kernel.sh"
tq_kernel_prepare "$WORK" kernel

# --- initramfs ------------------------------------------------------------

stage=$WORK/initramfs
rm -rf "$stage"
mkdir -p "$stage"/{bin,dev,proc,sys,tmp,tq/scenarios}

# Copies a program and the libraries it loads, at their own paths.
copy_with_libraries() {
  local program=$1 target=$2 library
  cp -L "$program" "$stage$target"
  for library in $(ldd "$program" | awk '/=> \// { print $3 } /^\t\// { print $1 }'); do
    mkdir -p "$stage$(dirname "$library")"
    cp -L "$library" "$stage$library"
  done
}

cp "$busybox_bin" "$stage/bin/busybox"
for applet in $("$busybox_bin" --list); do
  [ "$applet" = busybox ] || ln -s busybox "$stage/bin/$applet"
done
# busybox has no flock; the lock scenario borrows the host's.
rm -f "$stage/bin/flock"
copy_with_libraries "$(command -v flock)" /bin/flock
copy_with_libraries "$TOOL" /bin/tqvlkaepropinit
copy_with_libraries "$CLIENT" /bin/tqsim_client
copy_with_libraries "$CTL" /bin/tqvlkaectl
cp "$modsrc/tqtest.ko" "$stage/tqtest.ko"
install -m 0755 "$HERE/init.sh" "$stage/init"

# Scenario files: sections introduced by "@@ <name>" lines; lines before the
# first one are comments. setup, ini, steps, args, lock and program go to the guest;
# transcript (what the steps printed), exit, stdout, stderr, log and values are the
# expectations.
scenario_dir=$HERE/scenarios
if [ "$#" -eq 0 ]; then
  set -- "$scenario_dir"/*.scn
else
  set -- "${@/#/$scenario_dir/}"
  set -- "${@/%/.scn}"
fi
expected=$WORK/expected
actual=$WORK/actual
rm -rf "$expected" "$actual"
mkdir -p "$expected" "$actual"
names=()
for file in "$@"; do
  [ -f "$file" ] || die "no scenario $file"
  name=$(basename "$file" .scn)
  names+=("$name")
  split=$WORK/split/$name
  rm -rf "$split"
  mkdir -p "$split"
  tq_scenario_split "$file" "$split"
  mkdir -p "$stage/tq/scenarios/$name"
  for part in setup ini steps args lock program; do
    [ -f "$split/$part" ] && cp "$split/$part" "$stage/tq/scenarios/$name/"
  done
  tq_scenario_expected "$split" >"$expected/$name"
done

# After the scenarios the guest unloads the driver and scans the kernel log.
names+=(guest-checks)
echo "rmmod: 0" >"$expected/guest-checks"

(cd "$stage" && find . | "$busybox_bin" cpio -o -H newc 2>/dev/null) >"$WORK/initramfs.cpio"

# --- boot -----------------------------------------------------------------

console=$WORK/console.log
results=$WORK/results.txt

# One boot; the guest's results, carriage returns dropped, in $results.
boot() {
  tq_qemu_boot guest "$WORK/initramfs.cpio" 512M "$BOOT_TIMEOUT" "$console" "$results" rdinit=/init
}

say "boot ($# scenarios, at most ${BOOT_TIMEOUT}s)"
boot
if [ ! -s "$results" ]; then
  # The guest never reached its first scenario: a boot-time hiccup of the
  # emulation, not a result. Once more; a second failure is reported.
  echo "--- console of the failed boot" >&2
  tail -n 20 "$console" >&2 || true
  say "the guest did not start; booting once more"
  boot
fi
tq_require_end "$results" "$console" "the guest"
tq_split_results "$results" "$actual"
tq_compare "$expected" "$actual" "${names[@]}"
echo "kernel tier: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
