# SPDX-License-Identifier: MIT
# The QEMU boot of the tiers that run a Debian kernel (tests/kernel: a busybox
# initramfs; tests/boot: a Debian root with systemd as init), sourced by their
# run.sh, which define say and die:
#
#   tq_qemu_boot NAME INITRD MEMORY TIMEOUT CONSOLE RESULTS [KERNEL ARGUMENT...]
#       boots $vmlinuz (tests/kernel/kernel.sh) with INITRD under software
#       emulation, one processor, MEMORY of memory, for at most TIMEOUT
#       seconds. The guest's console goes to CONSOLE; what it writes to its
#       second serial port goes to RESULTS, carriage returns dropped. The
#       guest has no network device unless tq_qemu_options (QEMU options,
#       empty by default) adds one.
#   tq_require_end RESULTS CONSOLE GUEST
#       dies, with the last lines of CONSOLE and all of RESULTS, when RESULTS
#       has no "=== end" line: GUEST did not finish.
#   tq_split_results RESULTS DIR
#       writes each "=== <name>" block of RESULTS (up to "=== end") to DIR/<name>.
#   tq_compare EXPECTED ACTUAL NAME...
#       diffs EXPECTED/NAME with ACTUAL/NAME for each NAME, says PASS or FAIL,
#       and sets passed and failed.

tq_qemu_options=()

tq_qemu_boot() {
  local name=$1 initrd=$2 memory=$3 timeout=$4 console=$5 results=$6 begin=$SECONDS status
  shift 6
  rm -f "$console" "$results" "$results.raw"
  set +e
  # no_timer_check: under a busy host the emulated timer can be too slow
  # for the kernel's IO-APIC timer check, which then panics at boot.
  timeout --kill-after=10 "$timeout" qemu-system-x86_64 \
    -accel tcg -m "$memory" -smp 1 -nodefaults -no-user-config -display none -no-reboot \
    -kernel "$vmlinuz" -initrd "$initrd" \
    -append "console=ttyS0 panic=-1 no_timer_check quiet loglevel=3 $*" \
    -serial "file:$console" -serial "file:$results.raw" "${tq_qemu_options[@]}" </dev/null
  status=$?
  set -e
  say "$name: guest ran $((SECONDS - begin))s, qemu status $status"
  tr -d '\r' <"$results.raw" >"$results" 2>/dev/null || true
}

tq_require_end() {
  grep -qx '=== end' "$1" 2>/dev/null && return 0
  echo "--- console" >&2
  tail -n 40 "$2" >&2 || true
  echo "--- results" >&2
  cat "$1" >&2 || true
  die "$3 did not finish (timeout or crash)"
}

tq_split_results() {
  awk -v dir="$2" '
    /^=== / { out = (substr($0, 5) == "end") ? "" : dir "/" substr($0, 5); if (out != "") printf "" > out; next }
    out != "" { print > out }
  ' "$1"
}

tq_compare() {
  local expected=$1 actual=$2 name
  shift 2
  passed=0
  failed=0
  for name in "$@"; do
    if [ -f "$actual/$name" ] && diff -u --label "expected/$name" --label "actual/$name" \
      "$expected/$name" "$actual/$name"; then
      say "PASS $name"
      passed=$((passed + 1))
    else
      [ -f "$actual/$name" ] || echo "no result for $name" >&2
      say "FAIL $name"
      failed=$((failed + 1))
    fi
  done
}
