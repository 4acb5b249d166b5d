# SPDX-License-Identifier: MIT
# The Debian kernel and the test driver module for the QEMU tiers (the kernel
# tier here, the boot tier in tests/boot), sourced by their run.sh:
#
#   tq_kernel_prepare CACHE TIER   sets version, vmlinuz, kbuild, kernel (the
#                                  unpacked tree) and module (the built tqtest.ko)
#
# Fetches the kernel image and headers that Debian's metapackages name now
# (kept in CACHE/debs), unpacks them into CACHE/kernel and builds testbed/kmod/ with
# kbuild into CACHE/kmod. Only the current kernel is kept; offline, the newest
# kernel cached before is used, and with none the tier TIER reports itself
# unavailable (tests/support/tier.sh, which the caller sources). Needs ROOT
# (the source tree), say and die from the caller.

# The versioned image and headers package the metapackages depend on today.
resolve_kernel() {
  { apt-cache depends linux-image-amd64 2>/dev/null || true; } |
    awk '$1 == "Depends:" && $2 ~ /^linux-image-[0-9]/ { print substr($2, 13); exit }'
}

# Packages the headers package needs beside itself for an out-of-tree build.
header_packages() {
  local headers=linux-headers-$1
  echo "$headers"
  apt-cache depends "$headers" 2>/dev/null |
    awk '$1 == "Depends:" && $2 ~ /^linux-(headers|kbuild)-/ { print $2 }'
}

# Refreshes the package lists when that is possible here, waiting for another
# package manager's lock as the build scripts do.
update_lists() {
  [ "$(id -u)" -eq 0 ] || return 1
  say "apt-get update"
  (source "$ROOT/scripts/lib.sh" && tq_apt_get update -qq >/dev/null)
}

# Downloads the image and the headers of version into WORK/debs/version.
fetch() {
  local debs=$CACHE/debs/$1 packages
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

# The newest kernel downloaded completely before, if any.
cached_version() {
  local complete
  for complete in "$CACHE"/debs/*/complete; do
    if [ -f "$complete" ]; then basename "$(dirname "$complete")"; fi
  done | sort -V | tail -n 1
}

tq_kernel_prepare() {
  CACHE=$1
  mkdir -p "$CACHE"
  version=$(resolve_kernel)
  if [ -z "$version" ] && update_lists; then
    version=$(resolve_kernel)
  fi
  if [ -n "$version" ] && ! fetch "$version"; then
    # Stale lists name packages the archive no longer has.
    version=""
    if update_lists; then
      version=$(resolve_kernel)
      if [ -n "$version" ] && ! fetch "$version"; then version=""; fi
    fi
  fi
  if [ -z "$version" ]; then
    # Offline: a kernel fetched before will do.
    version=$(cached_version)
    [ -n "$version" ] || tq_tier_unavailable "$2" \
      "no kernel could be resolved and downloaded (network, package lists) and none is cached in $CACHE/debs"
    say "the current kernel cannot be fetched; using the cached one"
  fi
  say "kernel $version"
  # Only the current kernel is kept.
  for old in "$CACHE"/debs/* "$CACHE"/kernel/*; do
    [ -e "$old" ] && [ "$(basename "$old")" != "$version" ] && rm -rf "$old"
  done
  debs=$CACHE/debs/$version

  kernel=$CACHE/kernel/$version
  if [ ! -f "$kernel/unpacked" ]; then
    rm -rf "$kernel"
    mkdir -p "$kernel"
    for deb in "$debs"/*.deb; do
      case $(basename "$deb") in
        # Of the image the kernel itself and the lists of its modules
        # (which the boot tier's depmod reads); the modules are not needed.
        linux-image-*)
          dpkg-deb --fsys-tarfile "$deb" |
            tar -x -C "$kernel" --wildcards './boot/*' './lib/modules/*/modules.builtin*' \
              './lib/modules/*/modules.order'
          ;;
        *) dpkg-deb -x "$deb" "$kernel" ;;
      esac
    done
    # The headers' Makefile includes the common part by its installed path.
    sed -i "s#^include /usr/src/#include $kernel/usr/src/#" \
      "$kernel/usr/src/linux-headers-$version/Makefile"
    touch "$kernel/unpacked"
  fi
  vmlinuz=$kernel/boot/vmlinuz-$version
  kbuild=$kernel/usr/src/linux-headers-$version
  [ -f "$vmlinuz" ] && [ -d "$kbuild" ] || die "unpacked kernel incomplete in $kernel"

  # --- module ---------------------------------------------------------------

  modsrc=$CACHE/kmod
  mkdir -p "$modsrc"
  # Copies keep their times so kbuild rebuilds only what changed.
  cp -p "$ROOT"/testbed/kmod/Kbuild "$ROOT"/testbed/kmod/*.c "$ROOT"/testbed/kmod/*.h "$modsrc"/
  say "build module"
  make -s -C "$kbuild" M="$modsrc" modules >"$CACHE/kmod.log" 2>&1 ||
    {
      cat "$CACHE/kmod.log" >&2
      die "module build failed"
    }
  grep -v '^Skipping BTF' "$CACHE/kmod.log" || true
  module=$modsrc/tqtest.ko
}
