# SPDX-License-Identifier: MIT
# The Debian root that the guests of tests/boot boot (run.sh, the boot tier;
# ansible.sh, the playbook over ssh), sourced by them with ROOT set (the
# source tree):
#
#   tq_boot_begin TIER WORKDIR KERNEL_CACHE
#                         sources the tier, QEMU and kernel helpers
#                         (tests/support, tests/kernel/kernel.sh); sets WORK
#                         and KCACHE (made, absolute), BOOT_TIMEOUT
#                         ($TQ_BOOT_TIMEOUT, default 300 s) and SUITE; say,
#                         die and skip then speak for TIER
#   tq_boot_require DEB   skips unless QEMU, mmdebstrap, root rights, apt
#                         sources and the package DEB are there (empty DEB:
#                         $TQ_DEB, then the newest one scripts/package left);
#                         sets DEB (absolute) and sources
#   tq_boot_root WORK [PACKAGE...]
#                         unpacks the root into WORK/root (sets stage, wants):
#                         a base of minbase, systemd-sysv, udev, kmod, the
#                         package's dependencies and PACKAGEs, cached in WORK
#                         and keyed by its package list, the apt sources and
#                         the mmdebstrap version
#   tq_boot_guest WORK [MODULE...]
#                         makes $stage a quick guest of the prepared kernel
#                         (tq_kernel_prepare): a fixed machine id, no login
#                         prompts, the test driver module and MODULEs (paths
#                         below the kernel's module directory, taken from
#                         its image package) for modprobe, and the unit that
#                         creates the driver's devices from
#                         /usr/local/lib/tqboot/restore.setup (the kernel
#                         tier's restore scenario) when the module was
#                         loaded at boot (modules_load=tqtest)
#   tq_boot_pack WORK     packs $stage into WORK/root.cpio
#   tq_scenario_split FILE WORK
#                         writes each "@@ part" of a scenario file to
#                         WORK/split/<scenario>/<part> and prints that directory

tq_boot_begin() {
  tq_boot_tier=$1
  source "$ROOT/tests/support/tier.sh"
  source "$ROOT/tests/support/qemu.sh"
  source "$ROOT/tests/kernel/kernel.sh"
  mkdir -p "$2" "$3"
  WORK=$(realpath "$2")
  KCACHE=$(realpath "$3")
  BOOT_TIMEOUT=${TQ_BOOT_TIMEOUT:-300}
  SUITE=bookworm
}
say() { echo "$tq_boot_tier tier: $*"; }
die() {
  echo "$tq_boot_tier tier: $*" >&2
  exit 1
}
skip() { tq_tier_unavailable "$tq_boot_tier" "$*"; }

tq_boot_require() {
  local program file
  DEB=${1:-${TQ_DEB:-}}
  for program in qemu-system-x86_64 mmdebstrap; do
    command -v "$program" >/dev/null || skip "$program is not installed (scripts/test installs it)"
  done
  [ "$(id -u)" -eq 0 ] || skip "building the root file system needs root"
  sources=()
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -s "$file" ] && grep -q "^[^#]" "$file" && sources+=("$file")
  done
  [ "${#sources[@]}" -gt 0 ] || skip "no apt sources configured"
  [ -n "$DEB" ] || DEB=$(tq_newest_package "$ROOT")
  [ -n "$DEB" ] && [ -f "$DEB" ] || skip "no package built (run scripts/package)"
  DEB=$(realpath "$DEB")
  say "package $DEB"
}

tq_boot_root() {
  local work=$1 depends packages options key base
  shift
  # The package's dependencies go into the cached base, so that dpkg installs
  # the package alone.
  depends=$(dpkg-deb -f "$DEB" Depends | tr ',' '\n' | sed 's/|.*//; s/(.*)//; s/ //g' | grep . | sort -u)
  packages=$(printf '%s\n' systemd-sysv udev kmod $depends "$@" | sort -u | paste -sd, -)
  # Documentation is left out of the root: it makes the image bigger and the
  # boot slower, and nothing in the guest reads it.
  options=(--variant=minbase "--include=$packages"
    --dpkgopt='path-exclude=/usr/share/man/*' --dpkgopt='path-exclude=/usr/share/doc/*'
    --dpkgopt='path-exclude=/usr/share/locale/*' --dpkgopt='path-exclude=/usr/share/info/*')
  # /usr merged by the hook, without the usrmerge package and the perl it
  # pulls in; dpkg without fsync when eatmydata is there.
  options+=(--hook-dir=/usr/share/mmdebstrap/hooks/merged-usr)
  [ -d /usr/share/mmdebstrap/hooks/eatmydata ] && command -v eatmydata >/dev/null &&
    options+=(--hook-dir=/usr/share/mmdebstrap/hooks/eatmydata)
  key=$({
    printf '%s\n' "$SUITE" "${options[@]}"
    mmdebstrap --version
    cat "${sources[@]}"
  } | sha256sum | cut -c1-16)
  base=$work/base-$key.tar
  if [ ! -f "$base" ]; then
    rm -f "$work"/base-*.tar
    say "mmdebstrap $SUITE ($packages)"
    nice mmdebstrap --quiet --format=tar "${options[@]}" "$SUITE" "$base.part" "${sources[@]}" >"$work/mmdebstrap.log" 2>&1 ||
      { tail -n 30 "$work/mmdebstrap.log" >&2; die "mmdebstrap failed"; }
    mv "$base.part" "$base"
  fi

  stage=$work/root
  rm -rf "$stage"
  mkdir -p "$stage"
  tar -x -C "$stage" -f "$base"
  wants=$stage/etc/systemd/system/multi-user.target.wants
}

tq_boot_guest() {
  local work=$1 modules=$stage/lib/modules/$version extra getty
  shift
  # A fixed machine id: no first-boot setup. No login prompts.
  echo 4a5f3c1d2b6e4f8091a2b3c4d5e6f708 >"$stage/etc/machine-id"
  for getty in getty@.service serial-getty@.service console-getty.service getty-static.service; do
    ln -sf /dev/null "$stage/etc/systemd/system/$getty"
  done
  # The kernel's module lists and the test driver module, for modprobe.
  mkdir -p "$modules/extra"
  cp "$kernel/lib/modules/$version"/modules.* "$modules/"
  cp "$module" "$modules/extra/"
  for extra in "$@"; do
    dpkg-deb --fsys-tarfile "$debs"/linux-image-*.deb | tar -x -C "$stage" "./lib/modules/$version/$extra" ||
      die "no $extra in the kernel's image package"
  done
  chroot "$stage" depmod "$version"

  # The driver's devices at boot, as a real driver has them once loaded.
  mkdir -p "$stage/usr/local/lib/tqboot" "$stage/etc/systemd/system/sysinit.target.wants"
  cp "$(tq_scenario_split "$ROOT/tests/kernel/scenarios/restore.scn" "$work")/setup" \
    "$stage/usr/local/lib/tqboot/restore.setup"
  cp "$ROOT/tests/boot/guest/tqboot-bench.service" "$stage/etc/systemd/system/"
  ln -sf ../tqboot-bench.service "$stage/etc/systemd/system/sysinit.target.wants/"
}

tq_boot_pack() {
  say "pack the root ($(du -sm "$stage" | cut -f1) MiB)"
  (cd "$stage" && find . | cpio -o -H newc --quiet) >"$1/root.cpio"
}

tq_scenario_split() {
  local dir
  dir=$2/split/$(basename "$1" .scn)
  rm -rf "$dir"
  mkdir -p "$dir"
  awk -v dir="$dir" '/^@@ / { out = dir "/" $2; printf "" > out; next } out != "" { print > out }' "$1"
  echo "$dir"
}
