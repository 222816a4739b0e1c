#!/usr/bin/env bash
# Runs shellcheck over every shell script of the tree's scripts/, examples/,
# bench/ and test folders: files named *.sh or starting with a shell's #! line.
#
# Usage: shellcheck.sh SOURCE_DIR
set -uo pipefail
root=$1
command -v shellcheck >/dev/null || { echo "shellcheck: not installed (scripts/test installs it)"; exit 1; }

files=()
for f in "$root"/scripts/* "$root"/scripts/lib/* "$root"/examples/* "$root"/bench/* "$root"/tests/*/*.sh; do
  [ -f "$f" ] || continue
  case $f in
    *.sh) files+=("$f") ;;
    *) head -n1 "$f" | grep -Eq '^#!.*[/ ](ba|da|k)?sh( |$)' && files+=("$f") ;;
  esac
done
[ ${#files[@]} -gt 0 ] || { echo "shellcheck: no scripts found under $root"; exit 1; }
cd "$root" && shellcheck "${files[@]#"$root"/}"
