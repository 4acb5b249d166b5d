#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# collection.sh SOURCE_DIR: the collection ansible/ansible_collections/
# tqvlkae/bench builds with ansible-galaxy into an archive holding its
# modules and role, at the package's version (debian/changelog);
# ansible-doc renders every option of both modules and the role's entry
# point; ansible-lint (production profile, offline) passes the role and the
# examples. Without Debian's ansible-core and ansible-lint
# (TQ_ANSIBLE_TIER_PACKAGES in scripts/lib.sh) the tier is skipped, or fails
# under TQ_REQUIRE_ALL_TIERS.
set -euo pipefail
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$HERE/../support/tier.sh"
source "$HERE/ansible_env.sh"
source=$1
collection=$source/ansible/ansible_collections/tqvlkae/bench
for program in ansible-galaxy ansible-doc ansible-lint; do
  command -v $program >/dev/null || tq_tier_unavailable ansible "$program is not installed"
done
tq_ansible_env "$source"

version=$(sed -n '1s/^[^(]*(\([^)]*\)).*/\1/p' "$source/debian/changelog")
ansible-galaxy collection build --output-path "$work" "$collection"
archive=$work/tqvlkae-bench-$version.tar.gz
[ -f "$archive" ] || { echo "no $archive: galaxy.yml's version is not the package's $version"; exit 1; }
members=$(tar -tzf "$archive")
for member in README.md plugins/modules/settings.py plugins/modules/info.py plugins/action/settings.py \
  plugins/module_utils/tqvlkaectl.py roles/bench/tasks/main.yml; do
  grep -qx "$member" <<<"$members" || { echo "$archive lacks $member"; exit 1; }
done

# Every option the module takes is documented, and an option is documented
# only when the module takes it (ansible-doc renders "- NAME" per option under
# OPTIONS); examples and return values are rendered too.
for module in settings info; do
  doc=$(ansible-doc "tqvlkae.bench.$module")
  taken=$(python3 - "$collection/plugins/modules/$module.py" <<'PY'
import ast, sys
tree = ast.parse(open(sys.argv[1]).read())
names = set()
for node in ast.walk(tree):
    if isinstance(node, ast.keyword) and node.arg == "argument_spec" and isinstance(node.value, ast.Call):
        names.update(k.arg for k in node.value.keywords if k.arg)
names.add("executable")  # the common options
print(" ".join(sorted(names)))
PY
)
  documented=$(awk '/^OPTIONS/ { on = 1; next } /^[A-Z][A-Z ]*:?$/ { on = 0 } on' <<<"$doc" |
    sed -n 's/^[-=] \([a-z_]*\)$/\1/p' | sort | tr '\n' ' ' | sed 's/ $//')
  [ "$documented" = "$taken" ] || { echo "$module: documented options '$documented', taken '$taken'"; exit 1; }
  for part in EXAMPLES: "RETURN VALUES:"; do
    grep -q "^$part" <<<"$doc" || { echo "$module: ansible-doc shows no $part"; exit 1; }
  done
done
ansible-doc -t role tqvlkae.bench.bench | grep -q '^ENTRY POINT: main'

cd "$source/ansible"
ansible-lint --offline --profile production "$collection/roles/bench" examples
