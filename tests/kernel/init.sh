#!/bin/sh
# SPDX-License-Identifier: MIT
# PID 1 of the test guest. Loads the test driver, runs every scenario under
# /tq/scenarios against the real tool (or the request client) and writes the results to the second
# serial port (ttyS1), which the host compares with the expectations. The
# console (ttyS0) carries only the kernel's messages and this script's
# complaints.
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mkdir -p /tmp /var/lib/tq-vlnk
ini=/var/lib/tq-vlnk/tqvlkae.ini
control=/proc/tqtest/control
exec 3>/dev/ttyS1

finish() {
	echo "=== end" >&3
	sync
	poweroff -f
}

if ! insmod /tqtest.ko; then
	echo "=== insmod failed" >&3
	finish
fi

# Prints a file as one section; a missing final newline is made visible.
section() {
	echo "--- $1" >&3
	[ -f "$2" ] || return 0
	cat "$2" >&3
	if [ -s "$2" ] && [ "$(tail -c 1 "$2" | wc -l)" -eq 0 ]; then
		echo >&3
		echo "\\ no newline at end" >&3
	fi
}

run_scenario() {
	dir=$1
	name=${dir##*/}
	echo "=== $name" >&3
	rm -f "$ini" /tmp/out /tmp/err /tmp/locked /tmp/setup-error /tmp/steps
	if ! echo reset >"$control" 2>/dev/null; then
		echo "reset refused" >>/tmp/setup-error
	fi
	if [ -f "$dir/setup" ]; then
		while IFS= read -r line; do
			printf '%s\n' "$line" >"$control" 2>/dev/null ||
				printf 'refused: %s\n' "$line" >>/tmp/setup-error
		done <"$dir/setup"
	fi
	[ -f "$dir/ini" ] && cp "$dir/ini" "$ini"
	holder=
	if [ -f "$dir/lock" ]; then
		# Another process holds the settings file exclusively, then
		# rewrites it in place and lets go: a reader that waited sees
		# only the new text.
		flock -x "$ini" -c "touch /tmp/locked; sleep 1; cat '$dir/lock' >'$ini'" &
		holder=$!
		tries=0
		while [ ! -f /tmp/locked ] && [ $tries -lt 500 ]; do
			usleep 10000
			tries=$((tries + 1))
		done
		[ -f /tmp/locked ] || echo "lock holder did not start" >>/tmp/setup-error
	fi
	# Earlier programs on the same driver: each one's command, output,
	# errors and exit status.
	touch /tmp/steps
	if [ -f "$dir/steps" ]; then
		while IFS= read -r step; do
			# shellcheck disable=SC2086 # the step is words
			set -- $step
			case $1 in
			tool) step_program=/bin/tqvlkaepropinit ;;
			ctl) step_program=/bin/tqvlkaectl ;;
			client) step_program=/bin/tqsim_client ;;
			*) step_program=/bin/false ;;
			esac
			shift
			echo "\$ $step" >>/tmp/steps
			timeout 60 "$step_program" "$@" </dev/null >/tmp/out 2>/tmp/err
			step_status=$?
			cat /tmp/out /tmp/err >>/tmp/steps
			echo "exit $step_status" >>/tmp/steps
		done <"$dir/steps"
	fi
	args=
	[ -f "$dir/args" ] && args=$(cat "$dir/args")
	program=/bin/tqvlkaepropinit
	case "$(cat "$dir/program" 2>/dev/null)" in
	client) program=/bin/tqsim_client ;;
	ctl) program=/bin/tqvlkaectl ;;
	esac
	# shellcheck disable=SC2086 # the arguments are words
	timeout 60 $program $args >/tmp/out 2>/tmp/err
	echo $? >/tmp/exit
	[ -n "$holder" ] && wait "$holder"
	[ -f /tmp/setup-error ] && section setup-error /tmp/setup-error
	section transcript /tmp/steps
	section exit /tmp/exit
	section stdout /tmp/out
	section stderr /tmp/err
	section log /proc/tqtest/log
	section values /proc/tqtest/values
}

for dir in /tq/scenarios/*; do
	[ -d "$dir" ] && run_scenario "$dir"
done

# The driver must unload cleanly, and the kernel must not have complained.
echo "=== guest-checks" >&3
rmmod tqtest
echo "rmmod: $?" >&3
[ -e /proc/driver/tq ] && echo "/proc/driver/tq left behind" >&3
[ -e /proc/tqtest ] && echo "/proc/tqtest left behind" >&3
dmesg | grep -E 'WARNING|BUG|Oops|Call Trace' >&3
finish
