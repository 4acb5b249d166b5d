#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The alert rules of prometheus/: promtool checks them, every alert has
# unit tests in tqvlkae-rules.test.yml, and promtool runs those tests.
#
#   rules.sh RULES TESTS
#
# Without promtool (Debian package prometheus, TQ_METRICS_TIER_PACKAGES in
# scripts/lib.sh) the tier is skipped, or fails under TQ_REQUIRE_ALL_TIERS.
set -euo pipefail
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$HERE/../support/tier.sh"
rules=$1
tests=$2

command -v promtool >/dev/null || tq_tier_unavailable metrics "promtool is not installed"

promtool check rules "$rules"
untested=0
for alert in $(sed -n 's/^ *- alert: *\([A-Za-z0-9_]*\) *$/\1/p' "$rules"); do
  if ! grep -q "alertname: $alert\$" "$tests"; then
    echo "alert $alert has no unit test in $tests"
    untested=1
  fi
done
[ "$untested" -eq 0 ]
# promtool finds the rule files relative to the test file.
promtool test rules "$tests"
