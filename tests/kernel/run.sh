#!/usr/bin/env bash
# The kernel tier: runs the tool against the test driver module inside a
# real Debian kernel booted under QEMU.
#
#   run.sh TOOL CLIENT WORKDIR [SCENARIO...]
#
# CLIENT is the simulator's request client (tests/sim/simclient.c), which
# sends the requests the tool never sends. The companion tqvlkaectl runs in
# the scenarios whose program is ctl: TQ_KERNEL_CTL names it, by default the
# one built beside TOOL.
# Fetches the kernel image and headers that Debian's metapackages name now
# (cached in WORKDIR/debs), unpacks them into WORKDIR/kernel, builds kmod/
# with kbuild, packs busybox, the module, the tool with its libraries and the
# scenarios into an initramfs, boots it once, and compares the results of
# every scenario with its expectations. Exit status: 0 all passed, 1 a
# mismatch or a broken step, 77 when QEMU or busybox are not installed.
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
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
    say "$program is not installed (scripts/test installs it): skipped"
    exit 77
  fi
done
busybox_bin=$(command -v busybox)
ldd "$busybox_bin" >/dev/null 2>&1 &&
  die "$busybox_bin is dynamically linked; install busybox-static"

# --- kernel packages ------------------------------------------------------

# The versioned image and headers package the metapackages depend on today.
resolve_kernel() {
  apt-cache depends linux-image-amd64 2>/dev/null |
    awk '$1 == "Depends:" && $2 ~ /^linux-image-[0-9]/ { print substr($2, 13); exit }'
}

# Packages the headers package needs beside itself for an out-of-tree build.
header_packages() {
  local headers=linux-headers-$1
  echo "$headers"
  apt-cache depends "$headers" 2>/dev/null |
    awk '$1 == "Depends:" && $2 ~ /^linux-(headers|kbuild)-/ { print $2 }'
}

# Refreshes the package lists when that is possible here.
update_lists() {
  [ "$(id -u)" -eq 0 ] || return 1
  say "apt-get update"
  DEBIAN_FRONTEND=noninteractive apt-get update -qq >/dev/null
}

# Downloads the image and the headers of version into WORK/debs/version.
fetch() {
  local debs=$WORK/debs/$1 packages
  [ -f "$debs/complete" ] && return 0
  rm -rf "$debs"
  mkdir -p "$debs"
  packages=("linux-image-$1")
  mapfile -t -O 1 packages < <(header_packages "$1")
  [ "${#packages[@]}" -ge 3 ] || return 1
  say "download ${packages[*]}"
  (cd "$debs" && apt-get download -qq -o APT::Sandbox::User=root "${packages[@]}") || return 1
  touch "$debs/complete"
}

version=$(resolve_kernel)
if [ -z "$version" ] && update_lists; then
  version=$(resolve_kernel)
fi
if [ -z "$version" ]; then
  # Offline: a version fetched before will do.
  version=$(ls "$WORK/debs" 2>/dev/null | tail -n 1)
  [ -n "$version" ] || die "cannot resolve linux-image-amd64 (run apt-get update)"
fi
if ! fetch "$version"; then
  # Stale lists name packages the archive no longer has.
  update_lists || die "cannot download the kernel $version"
  version=$(resolve_kernel)
  fetch "$version" || die "cannot download the kernel $version"
fi
say "kernel $version"
# Only the current kernel is kept.
for old in "$WORK"/debs/* "$WORK"/kernel/*; do
  [ -e "$old" ] && [ "$(basename "$old")" != "$version" ] && rm -rf "$old"
done
debs=$WORK/debs/$version

kernel=$WORK/kernel/$version
if [ ! -f "$kernel/complete" ]; then
  rm -rf "$kernel"
  mkdir -p "$kernel"
  for deb in "$debs"/*.deb; do
    case $(basename "$deb") in
      # Of the image only the kernel itself: its modules are not needed.
      linux-image-*) dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$kernel" --wildcards './boot/*' ;;
      *) dpkg-deb -x "$deb" "$kernel" ;;
    esac
  done
  # The headers' Makefile includes the common part by its installed path.
  sed -i "s#^include /usr/src/#include $kernel/usr/src/#" \
    "$kernel/usr/src/linux-headers-$version/Makefile"
  touch "$kernel/complete"
fi
vmlinuz=$kernel/boot/vmlinuz-$version
kbuild=$kernel/usr/src/linux-headers-$version
[ -f "$vmlinuz" ] && [ -d "$kbuild" ] || die "unpacked kernel incomplete in $kernel"

# --- module ---------------------------------------------------------------

modsrc=$WORK/kmod
mkdir -p "$modsrc"
# Copies keep their times so kbuild rebuilds only what changed.
cp -p "$ROOT"/kmod/Kbuild "$ROOT"/kmod/*.c "$ROOT"/kmod/*.h "$modsrc"/
say "build module"
make -s -C "$kbuild" M="$modsrc" modules >"$WORK/kmod.log" 2>&1 ||
  {
    cat "$WORK/kmod.log" >&2
    die "module build failed"
  }
grep -v '^Skipping BTF' "$WORK/kmod.log" || true

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
# first one are comments. setup, ini, args, lock and program go to the guest; exit,
# stdout, stderr, log and values are the expectations.
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
  awk -v dir="$split" '
    /^@@ / { out = dir "/" $2; printf "" > out; next }
    out != "" { print > out }
  ' "$file"
  mkdir -p "$stage/tq/scenarios/$name"
  for part in setup ini args lock program; do
    [ -f "$split/$part" ] && cp "$split/$part" "$stage/tq/scenarios/$name/"
  done
  # The expected result block, in the order the guest writes it.
  {
    echo "--- exit"
    if [ -s "$split/exit" ]; then cat "$split/exit"; else echo 0; fi
    for part in stdout stderr log values; do
      echo "--- $part"
      [ -f "$split/$part" ] && cat "$split/$part"
    done
  } >"$expected/$name"
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
  local started=$SECONDS status
  rm -f "$console" "$results" "$results.raw"
  set +e
  # no_timer_check: under a busy host the emulated timer can be too slow
  # for the kernel's IO-APIC timer check, which then panics at boot.
  timeout --kill-after=10 "$BOOT_TIMEOUT" qemu-system-x86_64 \
    -accel tcg -m 512M -smp 1 -nodefaults -no-user-config -display none -no-reboot \
    -kernel "$vmlinuz" -initrd "$WORK/initramfs.cpio" \
    -append "console=ttyS0 panic=-1 no_timer_check quiet loglevel=3 rdinit=/init" \
    -serial "file:$console" -serial "file:$results.raw" </dev/null
  status=$?
  set -e
  say "guest ran $((SECONDS - started))s, qemu status $status"
  tr -d '\r' <"$results.raw" >"$results" 2>/dev/null || true
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
if ! grep -qx '=== end' "$results" 2>/dev/null; then
  echo "--- console" >&2
  tail -n 40 "$console" >&2 || true
  echo "--- results" >&2
  cat "$results" >&2 || true
  die "the guest did not finish (timeout or crash)"
fi
awk -v dir="$actual" '
  /^=== / { out = (substr($0, 5) == "end") ? "" : dir "/" substr($0, 5); if (out != "") printf "" > out; next }
  out != "" { print > out }
' "$results"

passed=0
failed=0
for name in "${names[@]}"; do
  if [ -f "$actual/$name" ] && diff -u --label "expected/$name" --label "actual/$name" \
    "$expected/$name" "$actual/$name"; then
    say "PASS $name"
    passed=$((passed + 1))
  else
    [ -f "$actual/$name" ] || echo "no result for $name" >&2
    say "FAIL $name"
    failed=$((failed + 1))
  fi
done
echo "kernel tier: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
