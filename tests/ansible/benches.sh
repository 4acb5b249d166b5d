#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# benches.sh MODE SOURCE_DIR TQVLKAECTL LIBTQSIM LIBTQRELOCATIONS: the
# example playbook (ansible/examples/site.yml with its template) over three
# benches on this machine, connection local. Each bench is its own simulated
# driver (the demo's bench with a state line, libtqsim.so preloaded) and its
# own settings file (the relocation library moves the shared state
# directory), all through the role's tqvlkae_environment.
#
# MODE file (tqvlkae_apply false): the file is put on each bench (mode kept,
# old one backed up), then left alone, then replaced by a file from the
# controller (src), then two entries are merged into it (the rest kept
# byte for byte), once; --check --diff shows the file's diff and writes nothing; new text with an error fails its bench alone, naming
# the line, and leaves its file as it was.
# MODE apply: the first run changes each bench and verifies it; the second
# changes nothing and sends no set request; --check --diff shows the file's
# diff and the device writes and writes nothing; a bench whose driver
# refuses a write fails alone, rolled back, while the others change. Skipped
# while the companion has no apply command.
set -euo pipefail
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$HERE/../support/tier.sh"
source "$HERE/ansible_env.sh"
mode=$1 source=$(realpath "$2") ctl=$(realpath "$3") sim=$(realpath "$4") reloc=$(realpath "$5")
command -v ansible-playbook >/dev/null || tq_tier_unavailable ansible "ansible-playbook is not installed"
if [ "$mode" = apply ] && ! "$ctl" apply --help >/dev/null 2>&1; then
  echo "tqvlkaectl has no apply command yet: skipped"
  exit 77
fi
tq_ansible_env "$source"
benches=(bench-a bench-b bench-c)

for bench in "${benches[@]}"; do
  dir=$work/$bench
  mkdir -p "$dir/state/tq-vlnk"
  cp "$reloc" "$dir/libtqrelocations.so.0"
  echo "sharedstatedir = $dir/state" >"$dir/tqrelocations.conf"
  { cat "$source/demo/bench.txt"; echo "state values"; } >"$dir/bench.txt"
  printf '[PortSetting]\n1a5_0_linkspeed=10\n' >"$dir/state/tq-vlnk/tqvlkae.ini"
  chmod 0600 "$dir/state/tq-vlnk/tqvlkae.ini"
done

# inventory SPEED_OF_BENCH_C [file|entries]: the three benches, bench-c's
# link speed given; with "file", each bench's text comes from its put.ini
# (src on the controller) instead of the template; with "entries", two
# entries are merged into each bench's file as it is.
inventory() {
  cat <<EOF
benches:
  vars:
    ansible_connection: local
    tqvlkae_install: false
    tqvlkae_enable_unit: false
    tqvlkae_settings_template: tqvlkae.ini.j2
    tqvlkae_ctl: $ctl
    tqvlkae_apply: $([ "$mode" = apply ] && echo true || echo false)
    bench_serials: [1a5, 2b7]
  hosts:
EOF
  local bench speed
  for bench in "${benches[@]}"; do
    speed=1000
    [ "$bench" = bench-c ] && speed=$1
    cat <<EOF
    $bench:
      bench_linkspeed: "$speed"
      tqvlkae_environment:
        TQSIM_BENCH: $work/$bench/bench.txt
        TQSIM_LOG: $work/$bench/driver.log
        TQSIM_DIR: $work/$bench
        LD_PRELOAD: $sim
        LD_LIBRARY_PATH: $work/$bench
EOF
    if [ "${2:-}" = file ]; then
      printf '      tqvlkae_settings_template: ""\n      tqvlkae_settings_file: %s\n' "$work/$bench/put.ini"
    elif [ "${2:-}" = entries ]; then
      printf '      tqvlkae_settings_template: ""\n      tqvlkae_settings_entries: {0x2B7_1_JumboFrames: 9000, 2b7_3_portmode: "2"}\n'
    fi
  done
}

# play NAME SPEED_OF_BENCH_C[:file] [ansible-playbook options]: runs the
# playbook site.yml (or $playbook.yml) into $work/NAME.out (shown when this test fails), driver logs
# emptied first.
play() {
  local name=$1
  inventory "${2%:*}" "${2#*:}" >"$work/inventory.yml"
  shift 2
  for bench in "${benches[@]}"; do : >"$work/$bench/driver.log"; done
  set +e
  ansible-playbook -i "$work/inventory.yml" "$source/ansible/examples/${playbook:-site}.yml" "$@" >"$work/$name.out" 2>&1
  status=$?
  set -e
  echo "== $name: exit status $status"
}

fail() {
  echo "FAILED: $*"
  cat "$work/$last.out"
  exit 1
}

# expect RUN STATUS BENCH=CHANGED/FAILED...: the run's exit status and each
# bench's changed and failed counts in the recap.
expect() {
  last=$1
  [ "$status" -eq "$2" ] || fail "$1: exit status $status, expected $2"
  shift 2
  local item bench counts
  for item in "$@"; do
    bench=${item%%=*} counts=${item#*=}
    grep -Eq "^$bench +: .* changed=${counts%/*} .* failed=${counts#*/} " "$work/$last.out" ||
      fail "$last: expected $bench changed=${counts%/*} failed=${counts#*/}"
  done
}

# snapshot: every bench's settings file (bytes, inode, mode) and driver values.
snapshot() {
  for bench in "${benches[@]}"; do
    stat -c '%i %a' "$work/$bench/state/tq-vlnk/tqvlkae.ini"
    cat "$work/$bench/state/tq-vlnk/tqvlkae.ini" "$work/$bench/values" 2>/dev/null || true
  done
}

# files_are RUN NAME: each bench's settings file holds the bytes of its NAME.
files_are() {
  for bench in "${benches[@]}"; do
    cmp "$work/$bench/$2" "$work/$bench/state/tq-vlnk/tqvlkae.ini" || fail "$1: $bench's file is not its $2"
  done
}

set_requests() {
  cat "$work"/bench-?/driver.log | grep -c 'req=0x200109' || true
}

# First run: every bench gets its file, mode 0600 kept, the old one backed up.
play first 1000
expect first 0 bench-a=1/0 bench-b=1/0 bench-c=1/0
for bench in "${benches[@]}"; do
  file=$work/$bench/state/tq-vlnk/tqvlkae.ini
  grep -qx '1a5_0_linkspeed=1000' "$file" || fail "$bench: the template's text is not in $file"
  [ "$(stat -c %a "$file")" = 600 ] || fail "$bench: mode $(stat -c %a "$file"), expected 600 kept"
  grep -qsx '1a5_0_linkspeed=10' "$file".*~ || fail "$bench: no backup of the old file"
done
if [ "$mode" = apply ]; then
  [ "$(set_requests)" -gt 0 ] || fail "first: no set request reached a driver"
fi

# The drift report: with the file only put, each bench's entries differ
# from the drivers' values; once applied, none does. It writes nothing.
playbook=drift play drift 1000
expect drift 0 bench-a=0/0 bench-b=0/0 bench-c=0/0
drifted=$(grep -c '"msg": "out of sync: 1a5_0_linkspeed, 1a5_1_jumboframes, 2b7_0_linkspeed, 2b7_1_jumboframes"$' \
  "$work/drift.out" || true)
[ "$drifted" -eq "$([ "$mode" = file ] && echo 3 || echo 0)" ] || fail "drift: $drifted benches out of sync"
[ "$(set_requests)" -eq 0 ] || fail "drift: $(set_requests) set requests"

# Second run: nothing changes, no file is rewritten, no value written.
before=$(snapshot)
play second 1000
expect second 0 bench-a=0/0 bench-b=0/0 bench-c=0/0
[ "$(snapshot)" = "$before" ] || fail "second: a file or value changed"
[ "$(set_requests)" -eq 0 ] || fail "second: $(set_requests) set requests"

# The text from a file on the controller (src), one comment added: the file
# is replaced by those bytes, and no value needs writing.
for bench in "${benches[@]}"; do
  { cat "$work/$bench/state/tq-vlnk/tqvlkae.ini"; echo "; kept by hand"; } >"$work/$bench/put.ini"
done
play src 1000:file
expect src 0 bench-a=1/0 bench-b=1/0 bench-c=1/0
files_are src put.ini
[ "$(set_requests)" -eq 0 ] || fail "src: $(set_requests) set requests"

# Entries merged into the file: the one entry naming the property gets the
# value in place, the other is added after the section's last entry, every
# other byte stays; a second run changes nothing.
for bench in "${benches[@]}"; do
  sed -e 's/^2b7_1_jumboframes=1$/2b7_1_jumboframes=9000/' -e '/^2b7_1_jumboframes=/a 2b7_3_portmode=2' \
    "$work/$bench/put.ini" >"$work/$bench/merged.ini"
done
play entries 1000:entries
expect entries 0 bench-a=1/0 bench-b=1/0 bench-c=1/0
files_are entries merged.ini
before=$(snapshot)
play entries-again 1000:entries
expect entries-again 0 bench-a=0/0 bench-b=0/0 bench-c=0/0
[ "$(snapshot)" = "$before" ] || fail "entries-again: a file or value changed"
[ "$(set_requests)" -eq 0 ] || fail "entries-again: $(set_requests) set requests"

# --check --diff, the template again with another speed on bench-c: each
# would change; nothing does.
before=$(snapshot)
play check 100 --check --diff
expect check 0 bench-a=1/0 bench-b=1/0 bench-c=1/0
[ "$(snapshot)" = "$before" ] || fail "check: a file or value changed"
[ "$(set_requests)" -eq 0 ] || fail "check: $(set_requests) set requests"
grep -qx -- '-1a5_0_linkspeed=1000' "$work/check.out" && grep -qx -- '+1a5_0_linkspeed=100' "$work/check.out" ||
  fail "check: no unified diff of bench-c's file"
if [ "$mode" = apply ]; then
  grep -q '^+1a5_0_linkspeed (serial 1a5 port 0 .*): 100$' "$work/check.out" ||
    fail "check: the device write is not shown"
fi

if [ "$mode" = file ]; then
  # New text that check refuses: bench-c fails with the line, its file stays.
  file_c=$(cat "$work/bench-c/state/tq-vlnk/tqvlkae.ini")
  play refused fast
  expect refused 2 bench-a=1/0 bench-b=1/0 bench-c=0/1
  grep -q 'the new settings text has errors.*line 4: ' "$work/refused.out" || fail "refused: no line named"
  [ "$(cat "$work/bench-c/state/tq-vlnk/tqvlkae.ini")" = "$file_c" ] || fail "refused: bench-c's file changed"
  exit 0
fi

# bench-c's driver refuses the second write: it fails alone and is put back.
echo 'fault ioctl req=0x200109 from=2 times=1 status=-52005:7:tqdrv' >>"$work/bench-c/bench.txt"
values_c=$(cat "$work/bench-c/values")
file_c=$(cat "$work/bench-c/state/tq-vlnk/tqvlkae.ini")
play refused 100 -e bench_linkspeed=100
expect refused 2 bench-a=1/0 bench-b=1/0 bench-c=0/1
[ "$(cat "$work/bench-c/values")" = "$values_c" ] || fail "refused: bench-c's values were not put back"
[ "$(cat "$work/bench-c/state/tq-vlnk/tqvlkae.ini")" = "$file_c" ] || fail "refused: bench-c's old file is not back"
grep -q 'apply failed (line [0-9]*: .*); every value it changed was put back' "$work/refused.out" ||
  fail "refused: no report line and rollback state"
for bench in bench-a bench-b; do
  grep -qx '1a5_0_linkspeed=100' "$work/$bench/state/tq-vlnk/tqvlkae.ini" || fail "refused: $bench not changed"
done
