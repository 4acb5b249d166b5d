# SPDX-License-Identifier: MIT
# Sourced by the ansible tier's scripts. tq_ansible_env SOURCE_DIR: a
# scratch directory $work (removed at exit) holding Ansible's home, caches,
# temporary files and an empty configuration, and the collection found in
# the tree; no other configuration, Galaxy server or network is consulted.
tq_ansible_env() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/tqansible.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  mkdir -p "$work/home" "$work/tmp"
  export HOME=$work/home
  : >"$work/ansible.cfg"
  export ANSIBLE_CONFIG=$work/ansible.cfg
  export ANSIBLE_COLLECTIONS_PATH=$1/ansible
  export ANSIBLE_LOCAL_TEMP=$work/tmp ANSIBLE_REMOTE_TMP=$work/tmp
  export ANSIBLE_NOCOLOR=1 ANSIBLE_RETRY_FILES_ENABLED=0 ANSIBLE_GATHERING=explicit
  export ANSIBLE_PYTHON_INTERPRETER=/usr/bin/python3
  export PYTHONDONTWRITEBYTECODE=1
}
