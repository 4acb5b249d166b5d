#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# examples.sh SOURCE_DIR TOOL CTL SIM RELOCATION: every command line shown in
# the EXAMPLES of the manual pages (man/*.scd) and in the README's sh blocks
# runs as shown, or is marked not to run just before its block ("; not run:
# REASON" in a page, "<!-- not run: REASON -->" in the README).
#
# The programs run under the simulated driver (SIM) with demo/bench.txt, and
# the relocation library (RELOCATION) moves the settings directory into a
# scratch directory holding demo/tqvlkae.ini, and the run state directory
# (apply's and store's lock) into the same, so nothing of the host is
# touched.
# - A page's examples are ``` blocks (an indented paragraph would join its
#   lines); a command is a "# " line of such a block; the lines after it up to
#   the next command are its output, compared with what it prints. A command
#   fails on an exit status of 2 or more (usage, trouble, a crash) or a
#   "Parse error" or "usage:" on standard error.
# - A README sh block runs whole, from a directory whose build/plain is the
#   build tree of TOOL, and must exit with 0 without a "command not found"
#   or a missing file on its output.
set -uo pipefail
SOURCE=$(realpath "$1")
TOOL=$(realpath "$2")
CTL=$(realpath "$3")
SIM=$(realpath "$4")
RELOCATION=$(realpath "$5")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
ran=0
fail() {
  echo "$*"
  failures=$((failures + 1))
}

# The commands' world: wrappers named as the programs, which run them under
# the simulated driver with the relocated settings directory.
mkdir -p "$scratch/bin" "$scratch/state/tq-vlnk"
cp "$RELOCATION" "$scratch/libtqrelocations.so.0"
printf 'sharedstatedir = %s/state\nrunstatedir = %s/run\n' "$scratch" "$scratch" \
  >"$scratch/tqrelocations.conf"
for program in "$TOOL" "$CTL"; do
  cat >"$scratch/bin/$(basename "$program")" <<WRAPPER
#!/bin/sh
exec env TQSIM_BENCH="$SOURCE/demo/bench.txt" TQSIM_DIR="$scratch" LD_LIBRARY_PATH="$scratch" \\
  LD_PRELOAD="$SIM" "$program" "\$@"
WRAPPER
  chmod +x "$scratch/bin/$(basename "$program")"
done

# run_command PAGE COMMAND EXPECTED: one command of a page.
run_command() {
  local out status
  cp "$SOURCE/demo/tqvlkae.ini" "$scratch/state/tq-vlnk/tqvlkae.ini"
  out=$(cd "$scratch" && PATH="$scratch/bin:$PATH" bash -c "$2" 2>"$scratch/stderr")
  status=$?
  ran=$((ran + 1))
  if [ "$status" -ge 2 ] || grep -q -e 'Parse error' -e 'usage:' "$scratch/stderr"; then
    fail "$1: '$2' exited with $status: $(head -n 3 "$scratch/stderr")"
  elif [ -n "$3" ] && [ "$out" != "$3" ]; then
    fail "$1: '$2' printed"$'\n'"$out"$'\n'"where the page shows"$'\n'"$3"
  fi
}

for page in "$SOURCE"/man/*.scd; do
  name=$(basename "$page" .scd)
  in_examples=0 in_block=0 skip=0 command="" expected="" previous=""
  while IFS= read -r line; do
    if [ "$in_block" -eq 0 ]; then
      case $line in
        "# EXAMPLES" | "# EXAMPLE") in_examples=1 ;;
        "# "*) in_examples=0 ;;
        '```')
          in_block=1
          [[ $previous == "; not run:"* ]] && skip=1 || skip=0
          ;;
      esac
      # scdoc joins an indented paragraph's lines into one: two commands
      # would read as one.
      [ "$in_examples" -eq 1 ] && [[ $line == [[:space:]]* ]] &&
        fail "$name: EXAMPLES line outside a \`\`\` block: '$line'"
      [ -n "$line" ] && previous=$line
      continue
    fi
    if [ "$line" = '```' ] || [[ $line == "# "* ]]; then
      if [ -n "$command" ] && [ "$in_examples" -eq 1 ] && [ "$skip" -eq 0 ]; then
        run_command "$name" "$command" "${expected%$'\n'}"
      fi
      command="" expected=""
      if [ "$line" = '```' ]; then in_block=0; else command=${line#"# "}; fi
    elif [ -n "$command" ]; then
      expected+=$line$'\n'
    fi
  done <"$page"
done

# The README's sh blocks.
mkdir -p "$scratch/tree/build"
ln -s "$(dirname "$(dirname "$TOOL")")" "$scratch/tree/build/plain"
block="" in_block=0 skip=0 previous="" number=0
while IFS= read -r line; do
  if [ "$in_block" -eq 0 ]; then
    if [ "$line" = '```sh' ]; then
      in_block=1 block="" number=$((number + 1))
      [[ $previous == "<!-- not run:"* ]] && skip=1 || skip=0
    fi
    [ -n "$line" ] && previous=$line
  elif [ "$line" = '```' ]; then
    in_block=0
    if [ "$skip" -eq 0 ]; then
      ran=$((ran + 1))
      (cd "$scratch/tree" && bash -c "$block") >"$scratch/out" 2>&1
      status=$?
      if [ "$status" -ne 0 ] || grep -q -e 'command not found' -e ': No such file or directory' "$scratch/out"; then
        fail "README.md: sh block $number exited with $status:"$'\n'"$block"$'\n'"$(tail -n 5 "$scratch/out")"
      fi
    fi
  else
    block+=$line$'\n'
  fi
done <"$SOURCE/README.md"

echo "$ran command lines and blocks run, $failures failed"
[ "$ran" -gt 0 ] && [ "$failures" -eq 0 ]
