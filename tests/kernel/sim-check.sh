#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the kernel tier's scenarios under the preload simulator instead of the
# kernel: the setup lines serve as the bench, with a state line added so that
# the values outlive each program as they do in the module, and the steps'
# transcript, the tool's exit status, output, the request log and the values
# the driver holds must match the same expectations. This keeps the test
# driver module and the simulator in agreement.
#
#   sim-check.sh TOOL CLIENT LIBTQSIM LIBTQRELOCATIONS WORKDIR
#
# The relocation library moves each scenario's shared state directory into
# its work directory, so the tool reads the scenario's settings file and
# never the host's; the moved directory is written back as /var/lib in the
# output. Left out: scenarios that stage a concurrent writer of the settings
# file (the lock wait is tested in tests/settings), and tqvlkaectl's check
# when not run as root (it warns of a settings file that a user other than
# root can write). tqvlkaectl (program ctl) is TQ_KERNEL_CTL, by default the
# one built beside TOOL.
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
TOOL=$(realpath "$1")
CLIENT=$(realpath "$2")
SIM=$(realpath "$3")
RELOC=$(realpath "$4")
WORK=$5
source "$HERE/scenario.sh"
CTL=$(realpath "${TQ_KERNEL_CTL:-$(dirname "$TOOL")/../ctl/tqvlkaectl}")
rm -rf "$WORK"
mkdir -p "$WORK"
WORK=$(realpath "$WORK")

# The README's scenario table lists every scenario file, and only those.
listed=$(awk '/^\| scenario \|/ { table = 1; next }
              table && !/^\|/ { exit }
              table && /^\| `/ { split($0, cell, "`"); print cell[2] }' "$HERE/README.md" | sort)
present=$(for file in "$HERE"/scenarios/*.scn; do basename "$file" .scn; done | sort)
if [ "$listed" != "$present" ]; then
  echo "simulator: the scenario table of $HERE/README.md does not match scenarios/:"
  diff <(echo "$listed") <(echo "$present") | sed -n 's/^</  listed, no file:/p; s/^>/  not listed:/p'
  exit 1
fi

# run_simulated PROGRAM ARGS...: one program of a scenario under the
# simulator, in the scenario's directory $dir; its exit status.
run_simulated() {
  env -i PATH=/usr/bin:/bin HOME="$dir" TMPDIR="$dir" TQSIM_BENCH="$dir/bench" \
    TQSIM_LOG="$dir/sim.log" TQSIM_DIR="$dir/sim" LD_PRELOAD="$SIM" LD_LIBRARY_PATH="$dir/reloc" \
    timeout 30 "$@"
}

passed=0
failed=0
skipped=0
for file in "$HERE"/scenarios/*.scn; do
  name=$(basename "$file" .scn)
  dir=$WORK/$name
  mkdir -p "$dir/sim"
  tq_scenario_split "$file" "$dir"
  args=$(cat "$dir/args" 2>/dev/null || true)
  program=$TOOL
  case "$(cat "$dir/program" 2>/dev/null)" in
  client) program=$CLIENT ;;
  ctl) program=$CTL ;;
  esac
  if [ -f "$dir/lock" ] || { [ "$program" = "$CTL" ] && [ "${args%% *}" = check ] &&
    [ "$(id -u)" -ne 0 ]; } || grep -qs '^ctl check' "$dir/steps"; then
    skipped=$((skipped + 1))
    continue
  fi
  mkdir -p "$dir/reloc" "$dir/state/tq-vlnk"
  cp "$RELOC" "$dir/reloc/"
  # The run state directory too: store's and apply's run lock.
  printf 'sharedstatedir = %s/state\nrunstatedir = %s/run\n' "$dir" "$dir" \
    >"$dir/reloc/tqrelocations.conf"
  [ -f "$dir/ini" ] && cp "$dir/ini" "$dir/state/tq-vlnk/tqvlkae.ini"
  tq_scenario_expected "$dir" >"$dir/expected"
  { cat "$dir/setup" 2>/dev/null || true; echo "state sim-values"; } >"$dir/bench"
  # The steps first, each with its command, output, errors and exit status.
  : >"$dir/steps-out"
  while IFS= read -r step; do
    # shellcheck disable=SC2086 # the step is words
    set -- $step
    step_program=false
    case $1 in
    tool) step_program=$TOOL ;;
    ctl) step_program=$CTL ;;
    client) step_program=$CLIENT ;;
    esac
    shift
    echo "\$ $step" >>"$dir/steps-out"
    status=0
    run_simulated "$step_program" "$@" >"$dir/out" 2>"$dir/err" </dev/null || status=$?
    cat "$dir/out" "$dir/err" >>"$dir/steps-out"
    echo "exit $status" >>"$dir/steps-out"
  done < <(cat "$dir/steps" 2>/dev/null || true)
  # shellcheck disable=SC2086 # the arguments are words
  status=0
  run_simulated "$program" $args >"$dir/out" 2>"$dir/err" || status=$?
  touch "$dir/sim.log"
  {
    echo "--- transcript"
    sed "s|$dir/state/|/var/lib/|g" "$dir/steps-out"
    echo "--- exit"
    echo "$status"
    echo "--- stdout"
    sed "s|$dir/state/|/var/lib/|g" "$dir/out"
    echo "--- stderr"
    sed "s|$dir/state/|/var/lib/|g" "$dir/err"
    echo "--- log"
    # Descriptors still open at exit: the kernel closes them, the
    # simulator reports them. Either way the tool should leave none.
    cat "$dir/sim.log"
    echo "--- values"
    # The state file's value lines in the module's form.
    sed -n 's/^value \([^ ]*\) \(port=[^ ]* prop=[^ ]*\) hex=/value dev=\1 \2 value=/p' \
      "$dir/sim-values" 2>/dev/null || true
  } >"$dir/actual"
  if diff -u --label "expected/$name" --label "simulator/$name" "$dir/expected" "$dir/actual"; then
    passed=$((passed + 1))
  else
    echo "simulator: FAIL $name"
    failed=$((failed + 1))
  fi
done
echo "simulator: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
