# SPDX-License-Identifier: MIT
# Shared by scripts/test and scripts/demo: installs what the build needs from
# Debian's packages and configures a build directory.

TQ_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

tq_sudo() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# How long apt-get waits for another package manager (unattended upgrades on
# a fresh machine, say) to release apt's locks before giving up, in seconds.
TQ_APT_LOCK_TIMEOUT=${TQ_APT_LOCK_TIMEOUT:-900}

# tq_apt_get ARGS...: apt-get as root, non-interactive. apt waits for the dpkg
# lock itself (DPkg::Lock::Timeout); the package lists' lock of "update" it
# does not wait for, so that is retried here. A failure ends in one line that
# says why; the status is then 1.
tq_apt_get() {
  local err begin=$SECONDS
  err=$(mktemp)
  while :; do
    if tq_sudo env DEBIAN_FRONTEND=noninteractive \
      apt-get -o DPkg::Lock::Timeout="$TQ_APT_LOCK_TIMEOUT" "$@" 2>"$err"; then
      cat "$err" >&2
      rm -f "$err"
      return 0
    fi
    cat "$err" >&2
    if ! grep -q 'Could not get lock' "$err"; then
      echo "apt-get $1 failed (its messages are above)" >&2
      break
    fi
    if [ $((SECONDS - begin)) -ge "$TQ_APT_LOCK_TIMEOUT" ]; then
      echo "apt-get $1: another package manager held apt's lock for ${TQ_APT_LOCK_TIMEOUT}s; stopping" \
        "(TQ_APT_LOCK_TIMEOUT sets the wait)" >&2
      break
    fi
    echo "apt-get $1: waiting for another package manager to release apt's lock" >&2
    sleep 5
  done
  rm -f "$err"
  return 1
}

# tq_install_packages PKG...: installs the packages that are not installed yet.
tq_install_packages() {
  local missing=()
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "installing: ${missing[*]}"
    tq_apt_get update -qq && tq_apt_get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

TQ_BUILD_PACKAGES=(cmake ninja-build g++ libboost-dev libboost-program-options-dev libgtest-dev libgmock-dev
  scdoc pkg-config nlohmann-json3-dev libdtl-dev python3-jsonschema)

# The Debian package (scripts/package) and its checks: the packaging tools and
# the man page and unit linters. The package's own build dependencies come
# from debian/control (tq_install_build_dependencies).
TQ_PACKAGING_PACKAGES=(dpkg-dev debhelper lintian groff mandoc systemd)

# The systemd boot tier (tests/boot): a Debian root file system built with
# mmdebstrap, booted under QEMU (besides the kernel tier's packages).
TQ_BOOT_TIER_PACKAGES=(mmdebstrap qemu-system-x86 cpio eatmydata)

# The kernel tier (tests/kernel): QEMU, a static busybox for the guest, and
# what kbuild needs beside the kernel packages that the tier fetches itself:
# make, the kernel's compiler, and the libraries of the kbuild tools.
TQ_KERNEL_TIER_PACKAGES=(qemu-system-x86 busybox-static make gcc-12 libelf1 libssl3)

# The fuzz targets (fuzz/): clang and its runtime libraries, which hold
# libFuzzer and the sanitizers' runtimes for clang.
TQ_FUZZ_PACKAGES=(clang libclang-rt-14-dev)

# Whole runs of the tool under valgrind memcheck (the ctest label memcheck).
TQ_MEMCHECK_PACKAGES=(valgrind)

# The metrics tier (ctest label metrics): promtool checks the alert rules of
# prometheus/ and runs their unit tests, and checks tqvlkaectl metrics'
# output, which the node exporter then serves on the loopback address (curl
# scrapes it).
TQ_METRICS_TIER_PACKAGES=(prometheus prometheus-node-exporter curl)

# The ansible tier (ctest label ansible): the collection of ansible/ is built,
# documented, linted and run against simulated benches with Debian's Ansible,
# and over ssh into a guest of the boot tier (tests/boot/ansible.sh: ssh and
# ssh-keygen); nothing is fetched from Galaxy.
TQ_ANSIBLE_TIER_PACKAGES=(ansible-core ansible-lint openssh-client)

# tq_install_build_dependencies SOURCE_DIR: installs the Build-Depends of
# SOURCE_DIR/debian/control that are missing (tests are not built there).
tq_install_build_dependencies() {
  local source=$1
  if ! (cd "$source" && dpkg-checkbuilddeps -P nocheck >/dev/null 2>&1); then
    echo "installing the build dependencies of debian/control"
    tq_apt_get update -qq && tq_apt_get build-dep -y -qq --no-install-recommends -P nocheck "$source"
  fi
}

# tq_build PRESET DIR [BUILD ARGS...]: configures DIR with the configure
# preset PRESET of CMakePresets.json (DIR may differ from the preset's own
# build directory) and builds it; the configure output is shown only when
# configuring fails.
tq_build() {
  local preset=$1 dir=$2 log
  shift 2
  if ! log=$(cmake --preset "$preset" -S "$TQ_ROOT" -B "$dir" 2>&1); then
    printf '%s\n' "$log" >&2
    echo "configuring $dir (preset $preset) failed" >&2
    return 1
  fi
  cmake --build "$dir" "$@"
}
