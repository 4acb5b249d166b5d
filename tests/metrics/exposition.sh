#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# tqvlkaectl metrics on simulated benches: each case's output passes
# `promtool check metrics` and holds the case's samples; then the real node
# exporter, bound to 127.0.0.1 only with its textfile collector alone, serves
# a written file: every family is there and node_textfile_scrape_error is 0.
#
#   exposition.sh CTL SIMLIB RELOCLIB
set -euo pipefail
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$HERE/../support/tier.sh"
ctl=$1 sim=$2 reloc=$3
command -v promtool >/dev/null || tq_tier_unavailable metrics "promtool is not installed"
exporter=$(command -v prometheus-node-exporter) ||
  tq_tier_unavailable metrics "prometheus-node-exporter is not installed"

scratch=$(mktemp -d)
exporter_pid=""
trap '[ -z "$exporter_pid" ] || kill "$exporter_pid"; rm -rf "$scratch"' EXIT
cp "$reloc" "$scratch/"
printf 'sharedstatedir = %s/state\nrunstatedir = %s/run\n' "$scratch" "$scratch" >"$scratch/tqrelocations.conf"
failed=0
fail() {
  echo "FAIL $*" >&2
  failed=1
}

bench='device tq0 serial=0x1a5 ports=2 pid=0x7c5
interface tq0 ae_ae\0 node=/dev/tqae0
value tq0 port=0 prop=0x13fff7 hex=e8030000'
good='[PortSetting]
1a5_0_linkspeed=1000
1a5_1_forcelinkdisable=1'
# name | bench lines added | settings file (- none) | restore record (- none) | samples, ';'-separated
cases=(
  "in-sync||$good|result=success exit_status=0|tqvlkae_setting_in_sync{serial=\"1a5\",port=\"0\",property=\"linkspeed\"} 1;tqvlkae_setting_in_sync{serial=\"1a5\",port=\"1\",property=\"forcelinkdisable\"} 1;tqvlkae_settings_out_of_sync 0;tqvlkae_settings_entries 2;tqvlkae_last_restore_success 1;tqvlkae_last_restore_recorded 1"
  "drifted|value tq0 port=0 prop=0x13fff7 hex=64000000|$good|result=exit-code exit_status=1|tqvlkae_setting_in_sync{serial=\"1a5\",port=\"0\",property=\"linkspeed\"} 0;tqvlkae_settings_out_of_sync 1;tqvlkae_last_restore_success 0"
  "device-missing||$good
2b7_0_linkspeed=100|-|tqvlkae_device_present{serial=\"1a5\"} 1;tqvlkae_device_present{serial=\"2b7\"} 0;tqvlkae_settings_out_of_sync 0;tqvlkae_last_restore_recorded 0"
  "refused-read|fault ioctl req=0x20010a port=0 prop=0x13fff7 from=2 times=1 status=-52005:1:ae_port.c|$good|-|tqvlkae_setting_read_refused{serial=\"1a5\",port=\"0\",property=\"linkspeed\"} 1;tqvlkae_settings_out_of_sync 1"
  "no-settings-file||-|-|tqvlkae_settings_entries 0;tqvlkae_settings_check_errors 0;tqvlkae_device_present{serial=\"1a5\"} 1"
  "file-with-errors||[PortSetting]
1a5_0_linkspeed=1000
1a5-1-linkspeed=10
1a5_0_linkspeeed=10|-|tqvlkae_settings_check_errors 2;tqvlkae_settings_entries 3;tqvlkae_setting_in_sync{serial=\"1a5\",port=\"0\",property=\"linkspeed\"} 1"
)
for row in "${cases[@]}"; do
  IFS='|' read -r -d '' name extra settings record samples <<<"$row" || true
  samples=${samples%$'\n'}
  rm -rf "$scratch/state" "$scratch/run" "$scratch/out"
  mkdir -p "$scratch/state/tq-vlnk" "$scratch/run/tq-vlnk" "$scratch/out"
  printf '%s\n%s\n' "$bench" "$extra" >"$scratch/bench.txt"
  [ "$settings" = - ] || printf '%s\n' "$settings" >"$scratch/state/tq-vlnk/tqvlkae.ini"
  [ "$record" = - ] || tr ' ' '\n' <<<"$record" >"$scratch/run/tq-vlnk/last-restore"
  if ! TQSIM_BENCH="$scratch/bench.txt" TQSIM_LOG="$scratch/driver.log" LD_LIBRARY_PATH="$scratch" \
    LD_PRELOAD="$sim" "$ctl" metrics --output "$scratch/out/tqvlkae.prom" 2>"$scratch/err"; then
    fail "$name: exit status not 0: $(cat "$scratch/err")"
    continue
  fi
  [ "$(stat -c %a "$scratch/out/tqvlkae.prom")" = 644 ] || fail "$name: mode not 0644"
  promtool check metrics <"$scratch/out/tqvlkae.prom" || fail "$name: promtool check metrics"
  IFS=';' read -ra wanted <<<"$samples"
  for sample in "${wanted[@]}"; do
    grep -qxF "$sample" "$scratch/out/tqvlkae.prom" || fail "$name: no line '$sample' in
$(cat "$scratch/out/tqvlkae.prom")"
  done
done

# The node exporter serves the last file (file-with-errors, plus a record).
printf 'result=success\nexit_status=0\n' >"$scratch/run/tq-vlnk/last-restore"
TQSIM_BENCH="$scratch/bench.txt" TQSIM_LOG="$scratch/driver.log" LD_LIBRARY_PATH="$scratch" \
  LD_PRELOAD="$sim" "$ctl" metrics --output "$scratch/out/tqvlkae.prom"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$exporter" --web.listen-address="127.0.0.1:$port" --collector.disable-defaults \
  --collector.textfile --collector.textfile.directory="$scratch/out" --web.disable-exporter-metrics \
  >"$scratch/exporter.log" 2>&1 &
exporter_pid=$!
scraped=""
for _ in $(seq 100); do
  scraped=$(curl -sf "http://127.0.0.1:$port/metrics") && break
  kill -0 "$exporter_pid" || break
  sleep 0.1
done
[ -n "$scraped" ] || fail "node exporter: no scrape: $(cat "$scratch/exporter.log")"
grep -qx 'node_textfile_scrape_error 0' <<<"$scraped" || fail "node exporter: scrape error"
families=$(sed -n 's/^# TYPE \([a-z_]*\) .*/\1/p' "$scratch/out/tqvlkae.prom")
[ "$(wc -l <<<"$families")" -eq 9 ] || fail "not 9 families written: $families"
for family in $families; do
  grep -q "^$family[{ ]" <<<"$scraped" || fail "node exporter: no family $family"
done
exit "$failed"
