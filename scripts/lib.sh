# Shared by scripts/test and scripts/demo: installs what the build needs from
# Debian's packages and configures a build directory.

TQ_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

tq_sudo() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
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
    tq_sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    tq_sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
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

# tq_install_build_dependencies SOURCE_DIR: installs the Build-Depends of
# SOURCE_DIR/debian/control that are missing (tests are not built there).
tq_install_build_dependencies() {
  local source=$1
  if ! (cd "$source" && dpkg-checkbuilddeps -P nocheck >/dev/null 2>&1); then
    echo "installing the build dependencies of debian/control"
    tq_sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    tq_sudo env DEBIAN_FRONTEND=noninteractive apt-get build-dep -y -qq \
      --no-install-recommends -P nocheck "$source"
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
