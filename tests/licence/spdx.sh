#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# spdx.sh SOURCE_DIR [--add]: every source, build and script file of the
# tree carries an "SPDX-License-Identifier:" line among its first five lines:
# GPL-2.0 below testbed/kmod/ (the kernel module), MIT everywhere else, as
# LICENSE and debian/copyright say. Lists each file without it (or with the
# other licence's) and fails. With --add, writes the line into each file
# that has none (after a "#!" line) and changes nothing else: running it
# again changes nothing.
#
# Which files: those git tracks (or, outside a git checkout, every file
# below SOURCE_DIR but build/) that are C or C++ sources, CMake, shell,
# bash completion, make (Kbuild, Makefile, debian/rules), systemd units and
# udev rules, or start with "#!". Documents and data (Markdown, manual page
# sources, settings and bench files, scenarios, corpora) have no comment
# syntax or are inputs, and are left out.
set -euo pipefail
cd "$1"
add=${2:-}

files() {
  if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files
  else
    find . -path ./build -prune -o -path ./.git -prune -o -type f -print | sed 's|^\./||'
  fi
}

# comment FILE: the comment leader of FILE's language, or nothing when the
# file is not one of those checked.
comment() {
  case $1 in
    *.c | *.cc | *.h) echo "//" ;;
    *.cmake | */CMakeLists.txt | CMakeLists.txt | *.sh | *.bash | */Kbuild | */Makefile | \
      debian/rules | *.service | *.rules) echo "#" ;;
    *) head -c 2 "$1" | grep -q '^#!$' && echo "#" || true ;;
  esac
}

missing=0
while IFS= read -r file; do
  [ -f "$file" ] || continue
  leader=$(comment "$file")
  [ -n "$leader" ] || continue
  case $file in
    testbed/kmod/*) licence=GPL-2.0 ;;
    *) licence=MIT ;;
  esac
  found=$(head -n 5 "$file" | sed -n 's/.*SPDX-License-Identifier: *\([A-Za-z0-9.+-][A-Za-z0-9.+-]*\).*/\1/p' | head -n 1)
  if [ "$found" = "$licence" ]; then continue; fi
  if [ -z "$found" ] && [ "$add" = --add ]; then
    line="$leader SPDX-License-Identifier: $licence"
    if head -n 1 "$file" | grep -q '^#!'; then
      sed -i "1a $line" "$file"
    else
      sed -i "1i $line" "$file"
    fi
    echo "added to $file"
    continue
  fi
  echo "$file: ${found:-no} SPDX-License-Identifier in its first five lines, expected $licence"
  missing=$((missing + 1))
done < <(files)
if [ "$missing" -gt 0 ]; then
  echo "$missing files without their licence line (tests/licence/spdx.sh SOURCE_DIR --add writes them)"
  exit 1
fi
