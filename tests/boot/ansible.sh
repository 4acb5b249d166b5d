#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The example playbook over ssh: ansible/examples/site.yml, run by this
# host's ansible-playbook against a QEMU guest booted from the boot tier's
# Debian root (tests/boot/root.sh) with openssh-server, python3 and
# python3-apt added (the role's apt module needs python3-apt to install a
# .deb). The package is not in the root; the test driver module is loaded
# at boot (modules_load=tqtest) with the kernel tier's restore devices
# (serial 1a5 with 2 ports, 2b6 with 3).
#
#   ansible.sh WORKDIR KERNEL_CACHE [DEB]
#
# DEB, KERNEL_CACHE and the cached base (its own, in WORKDIR) as in run.sh.
# The guest's one network device is QEMU's user networking, isolated
# (restrict=on: nothing leaves the guest), its ssh port forwarded from
# 127.0.0.1 alone. Ansible logs in as root with a key made for this run,
# host keys unchecked for this inventory only. The .deb is copied to the
# guest, then site.yml runs twice:
#   first   the role installs the package from the .deb and puts the
#           template's settings: changed=2, and the driver holds the
#           template's values (written once each; nothing restored them)
#   second  changed=0, and no set request reaches the driver
# Exit status: 0 passed, 1 a mismatch or a broken step, 77 when QEMU,
# mmdebstrap, apt sources, root rights, the package, ansible-playbook or ssh
# are missing (1 then as well when TQ_REQUIRE_ALL_TIERS=1).
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
source "$HERE/root.sh"
source "$ROOT/tests/ansible/ansible_env.sh"
tq_boot_begin "ansible remote" "$1" "$2"
tq_boot_require "${3:-}"
for program in ansible ansible-playbook ssh ssh-keygen python3; do
  command -v "$program" >/dev/null || skip "$program is not installed"
done
started=$SECONDS
tq_kernel_prepare "$KCACHE" "ansible remote"
tq_boot_root "$WORK" openssh-server python3 python3-apt
tq_boot_guest "$WORK" kernel/drivers/net/ethernet/intel/e1000/e1000.ko

# --- the guest's ssh --------------------------------------------------------------

[ -L "$wants/ssh.service" ] || die "openssh-server did not enable ssh.service"
# QEMU's user network: the guest at 10.0.2.15, the host's forward from 10.0.2.2.
mkdir -p "$stage/etc/systemd/network"
printf '[Match]\nName=e*\n\n[Network]\nAddress=10.0.2.15/24\n' >"$stage/etc/systemd/network/20-qemu.network"
chroot "$stage" systemctl enable --quiet systemd-networkd.service
rm -f "$WORK/id" "$WORK/id.pub"
ssh-keygen -q -t ed25519 -N '' -C tqvlkae-remote-test -f "$WORK/id"
install -d -m 0700 "$stage/root/.ssh"
install -m 0600 "$WORK/id.pub" "$stage/root/.ssh/authorized_keys"
tq_boot_pack "$WORK"

# --- boot ---------------------------------------------------------------------------

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
tq_qemu_options=(-nic "user,restrict=on,model=e1000,hostfwd=tcp:127.0.0.1:$port-:22" -pidfile "$WORK/qemu.pid")
rm -f "$WORK/qemu.pid"
tq_qemu_boot "guest" "$WORK/root.cpio" 1024M $((BOOT_TIMEOUT + 600)) "$WORK/console.log" "$WORK/serial.txt" \
  rdinit=/sbin/init systemd.show_status=false modules_load=tqtest &
guest=$!
tq_ansible_env "$ROOT"
# QEMU's process id, read from its pid file once its guest answers.
qemu=""
stop_guest() {
  if [ -n "$qemu" ] && kill -0 "$guest" 2>/dev/null; then kill "$qemu" 2>/dev/null || true; fi
  wait "$guest" 2>/dev/null || true
}
trap 'stop_guest; rm -rf "$work"' EXIT
fail() {
  echo "FAILED: $*" >&2
  [ -z "${last:-}" ] || cat "$WORK/$last.out" >&2
  echo "--- console" >&2
  tail -n 40 "$WORK/console.log" >&2 || true
  exit 1
}
on_guest() {
  ssh -F /dev/null -i "$WORK/id" -p "$port" -o BatchMode=yes -o ConnectTimeout=20 \
    -o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null -o LogLevel=ERROR root@127.0.0.1 "$@"
}

say "boot, wait for ssh on 127.0.0.1:$port (at most ${BOOT_TIMEOUT}s)"
booted=$SECONDS
until on_guest true 2>/dev/null; do
  kill -0 "$guest" 2>/dev/null || fail "the guest stopped before its ssh answered"
  [ $((SECONDS - booted)) -lt "$BOOT_TIMEOUT" ] || fail "no ssh from the guest within ${BOOT_TIMEOUT}s"
  sleep 5
done
say "ssh answers after $((SECONDS - booted))s"
qemu=$(cat "$WORK/qemu.pid") || fail "QEMU left no pid file"
[ -z "$(on_guest cat /proc/tqtest/values)" ] || fail "the driver holds values before the first run"

# --- the playbook -------------------------------------------------------------------

export ANSIBLE_REMOTE_TMP=/root/.ansible/tmp
cat >"$work/inventory.yml" <<EOF
benches:
  vars:
    ansible_host: 127.0.0.1
    ansible_port: $port
    ansible_user: root
    ansible_ssh_private_key_file: $WORK/id
    ansible_ssh_common_args: -o UserKnownHostsFile=/dev/null -o LogLevel=ERROR
    ansible_host_key_checking: false
    ansible_pipelining: true
    tqvlkae_package_deb: /root/$(basename "$DEB")
    tqvlkae_settings_template: tqvlkae.ini.j2
  hosts:
    bench-q:
      bench_serials: [1a5, 2b6]
      bench_linkspeed: 1000
EOF

# play NAME: site.yml into WORKDIR/NAME.out; status holds its exit status.
play() {
  last=$1
  set +e
  ansible-playbook -i "$work/inventory.yml" "$ROOT/ansible/examples/site.yml" >"$WORK/$1.out" 2>&1
  status=$?
  set -e
  say "$1: exit status $status, $((SECONDS - started))s"
}
# recap CHANGED: the last run passed with CHANGED tasks changed.
recap() {
  [ "$status" -eq 0 ] || fail "$last: exit status $status"
  grep -Eq "^bench-q +: .* changed=$1 +unreachable=0 +failed=0 " "$WORK/$last.out" ||
    fail "$last: expected changed=$1 and failed=0"
}
set_requests() {
  on_guest cat /proc/tqtest/log | grep -c 'req=0x200109' || true
}

last=copy
ansible benches -i "$work/inventory.yml" -m ansible.builtin.copy -a "src=$DEB dest=/root/ mode=0644" >"$WORK/copy.out" 2>&1 ||
  fail "the package could not be copied to the guest"

# The two settings entries per device, written once each (the driver reads
# zeros for a value never written, so forcelinkdisable needs no write).
play first
recap 2
[ "$(on_guest dpkg-query -W -f '\${Version}' tqvlkaepropinit)" = "$(dpkg-deb -f "$DEB" Version)" ] ||
  fail "first: the package's version is not installed"
expected='value dev=devA port=0 prop=0x0013fff7 value=e8030000
value dev=devA port=1 prop=0x0013fff5 value=01000000
value dev=devB port=0 prop=0x0013fff7 value=e8030000
value dev=devB port=1 prop=0x0013fff5 value=01000000'
values=$(on_guest cat /proc/tqtest/values)
[ "$values" = "$expected" ] || fail "first: the driver holds
$values
expected
$expected"
[ "$(set_requests)" -eq 4 ] || fail "first: $(set_requests) set requests, expected 4"

play second
recap 0
[ "$(set_requests)" -eq 4 ] || fail "second: $(($(set_requests) - 4)) set requests"
[ "$(on_guest cat /proc/tqtest/values)" = "$expected" ] || fail "second: the driver's values changed"
say "passed, $((SECONDS - started))s"
