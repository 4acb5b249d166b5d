#!/bin/sh
# SPDX-License-Identifier: MIT
# The boot tier's checks inside the booted guest (tqboot-check.service, after
# multi-user.target). The kernel command line's tq.scenario= chooses the
# boot: "boot" (the test driver loaded at boot) or "late" (no driver at
# boot; loaded here). Results go to the second serial port (ttyS1) as
# "=== <scenario>" blocks of "--- <part>" sections, compared on the host.
unit=tqvlkaepropinit.service
data=/usr/local/lib/tqboot
control=/proc/tqtest/control
ini=/var/lib/tq-vlnk/tqvlkae.ini
exec 3>/dev/ttyS1
echo "checks start at $(cut -d' ' -f1 /proc/uptime)s," \
	"systemd started at $(($(systemctl show -P UserspaceTimestampMonotonic) / 1000000))s" >/dev/ttyS0

# For the console log: how long the unit's last run held what is ordered
# after it, and how much of that was its wait for udev (ExecStartPre). Boot
# is not finished while these checks run, so systemd-analyze cannot say.
unit_time() {
	began=$(systemctl show -P InactiveExitTimestampMonotonic "$unit")
	main=$(systemctl show -P ExecMainStartTimestampMonotonic "$unit")
	ended=$(systemctl show -P InactiveEnterTimestampMonotonic "$unit")
	echo "unit time ($1): $(((ended - began) / 1000))ms," \
		"of which $(((main - began) / 1000))ms waiting for udev" >/dev/ttyS0
}

# Starts of the unit in this boot ("Starting ..." journal entries).
starts() {
	journalctl -b -q -u "$unit" MESSAGE_ID=7d4958e842da4a758f6c1cdc7b36dcc5 -o cat | wc -l
}

unit_state() {
	echo "--- unit"
	echo "condition=$(systemctl show -P ConditionResult "$unit")" \
		"result=$(systemctl show -P Result "$unit")" \
		"is-failed=$(systemctl is-failed "$unit")"
}

# The unit's record of its last run (ExecStopPost), and what tqvlkaectl
# metrics makes of it (after driver_state: metrics sends read requests).
record_state() {
	echo "--- record"
	cat /run/tq-vlnk/last-restore 2>/dev/null || echo none
	tqvlkaectl metrics | grep -E '^tqvlkae_last_restore_(recorded|success) '
}

# Waits until the unit has started once more than $1 times counted before
# and has finished, then a while longer to see whether it starts again.
wait_for_run() {
	before=$1
	tries=0
	while [ "$(starts)" -le "$before" ] || systemctl list-jobs --no-legend | grep -q "$unit" ||
		[ "$(systemctl show -P ActiveState "$unit")" = activating ]; do
		tries=$((tries + 1))
		[ $tries -gt 240 ] && break
		sleep 0.5
	done
	udevadm settle
	sleep 2
	echo "--- starts"
	echo $(($(starts) - before))
}

driver_state() {
	echo "--- log"
	cat /proc/tqtest/log
	echo "--- values"
	cat /proc/tqtest/values
}

# Removes the test devices and creates them anew from a setup file, in one
# write: the devices appear together, as on a driver's probe.
new_devices() {
	echo reset >"$control"
	cat "$1" >"$control"
}

case $(sed -n 's/.*tq\.scenario=\([a-z]*\).*/\1/p' /proc/cmdline) in
boot)
	{
		echo "=== boot"
		echo "--- starts"
		starts
		unit_state
		driver_state
	} >&3
	unit_time boot
	cp /proc/tqtest/log /run/unit.log
	record_state >&3 2>&1

	# The opt-in metrics unit, started as its timer would start it, once
	# the node exporter's directory exists: it writes the file from inside
	# its sandbox.
	{
		echo "=== metrics-unit"
		prom=/var/lib/prometheus/node-exporter
		mkdir -p "$prom"
		systemctl start tqvlkaectl-metrics.service
		echo "--- unit"
		echo "result=$(systemctl show -P Result tqvlkaectl-metrics.service)"
		echo "--- file"
		stat -c '%a %U' "$prom/tqvlkae.prom"
		grep -E '^tqvlkae_(settings_out_of_sync|last_restore_success) ' "$prom/tqvlkae.prom"
	} >&3 2>&1

	# The same restore without the sandbox, by hand, on the same devices
	# (no new device, so the unit is not started again): the driver log
	# grows by the same requests.
	{
		echo "=== sandbox"
		lines=$(wc -l </proc/tqtest/log)
		tqvlkaepropinit --restore
		echo "--- exit"
		echo $?
		echo "--- driver log compared with the unit's"
		tail -n +$((lines + 1)) /proc/tqtest/log >/run/hand.log
		diff /run/unit.log /run/hand.log && echo same
	} >&3 2>&1

	{
		echo "=== bad-entry"
		cp "$data/bad-entry.ini" "$ini"
		before=$(starts)
		new_devices "$data/bad-entry.setup"
		wait_for_run "$before"
		unit_state
		echo "--- journal"
		journalctl -b -q -t tqvlkaepropinit -o cat
		driver_state
		record_state
	} >&3 2>&1
	;;
late)
	{
		echo "=== no-driver"
		echo "--- starts"
		starts
		unit_state
		echo "--- failed units"
		systemctl list-units --failed --no-legend --plain
		record_state
	} >&3 2>&1

	{
		echo "=== late-load"
		before=$(starts)
		modprobe tqtest
		new_devices "$data/restore.setup"
		wait_for_run "$before"
		unit_time late-load
		unit_state
		driver_state
		record_state
	} >&3 2>&1

	# As after a resume from sleep, when the opt-in unit is enabled: one
	# more restore, started from the resume unit's sandbox.
	{
		echo "=== resume"
		before=$(starts)
		systemctl start tqvlkaepropinit-resume.service
		wait_for_run "$before"
		echo "--- resume unit"
		echo "result=$(systemctl show -P Result tqvlkaepropinit-resume.service)"
	} >&3 2>&1
	;;
*)
	echo "=== no tq.scenario on the kernel command line" >&3
	;;
esac
echo "=== end" >&3
sync
systemctl poweroff -ff
