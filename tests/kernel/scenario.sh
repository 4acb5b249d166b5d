# SPDX-License-Identifier: MIT
# The kernel tier's scenario files (scenarios/*.scn, README.md), read in one
# place for the guest (run.sh) and for the simulator (sim-check.sh), which
# source this file:
#
#   tq_scenario_split FILE DIR
#       writes each "@@ <part>" block of FILE to DIR/<part>.
#   tq_scenario_expected DIR
#       prints the expected result of the parts in DIR, in the order the
#       guest writes it: transcript, exit (0 when none), stdout, stderr, log
#       and values.

tq_scenario_split() {
  awk -v dir="$2" '
    /^@@ / { out = dir "/" $2; printf "" > out; next }
    out != "" { print > out }
  ' "$1"
}

tq_scenario_expected() {
  local dir=$1 part
  echo "--- transcript"
  [ -f "$dir/transcript" ] && cat "$dir/transcript"
  echo "--- exit"
  if [ -s "$dir/exit" ]; then cat "$dir/exit"; else echo 0; fi
  for part in stdout stderr log values; do
    echo "--- $part"
    [ -f "$dir/$part" ] && cat "$dir/$part"
  done
  return 0
}
