# SPDX-License-Identifier: MIT
# Sourced by the test tiers that need more than the build tree: tests/kernel,
# and any later tier that boots or fetches something.
#
# A tier that cannot run on this host (no emulator installed, no kernel that
# it could download or had cached) exits 77, which ctest reports as skipped
# (the test's SKIP_RETURN_CODE). Where every tier must run, scripts/test and
# so CI, TQ_REQUIRE_ALL_TIERS=1 turns that skip into a failure; unset, empty
# or 0 leaves it a skip.

# tq_tier_unavailable TIER REASON: ends the tier as skipped, or as failed
# when every tier is required.
tq_tier_unavailable() {
  case ${TQ_REQUIRE_ALL_TIERS:-0} in
    0 | "")
      echo "$1 tier: $2: skipped"
      exit 77
      ;;
    *)
      echo "$1 tier: $2; failed, since every tier must run here (TQ_REQUIRE_ALL_TIERS=$TQ_REQUIRE_ALL_TIERS)" >&2
      exit 1
      ;;
  esac
}

# tq_newest_package ROOT: the newest package that scripts/package left in
# ROOT/build, or nothing (never a failure, so that the tier can say why it
# stops).
tq_newest_package() {
  local deb newest=""
  for deb in "$1"/build/tqvlkaepropinit_*.deb; do
    [ -f "$deb" ] && { [ -z "$newest" ] || [ "$deb" -nt "$newest" ]; } && newest=$deb
  done
  printf '%s' "$newest"
}
