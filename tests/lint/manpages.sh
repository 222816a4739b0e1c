#!/usr/bin/env bash
# Checks the manual pages: mandoc's lint and groff on a plain ASCII terminal say
# nothing; every page has one date, the project's version in its installed
# footer, a short NAME line, and the sections a script writer looks for.
#
# Usage: manpages.sh SOURCE_MAN_DIR BUILD_MAN_DIR VERSION
set -uo pipefail
src=$1 built=$2 version=$3

for tool in mandoc groff; do
  command -v "$tool" >/dev/null || { echo "manpages: needs $tool (scripts/test installs it)"; exit 1; }
done

# The environment each page must list where it matters: the windows read the
# terminal's type and the locale; the queue key concerns pickbox and mqtool.
declare -A needs=(
  [askbox]="TERM LC_ALL LC_CTYPE LANG"
  [notebox]="TERM LC_ALL LC_CTYPE LANG"
  [pickbox]="TERM LC_ALL LC_CTYPE LANG JUX_QUEID"
  [mqtool]="JUX_QUEID"
)

failed=0
fail() { echo "manpages: $*"; failed=1; }

# section PAGE NAME: the lines of one section, without its heading.
section() { awk -v name="$2" '/^\.SH/ { on = ($0 == ".SH " name || $0 == ".SH \"" name "\"") ; next } on' "$1"; }

dates=()
pages=("$src"/*.1)
[ -e "${pages[0]}" ] || { echo "manpages: no pages in $src"; exit 1; }
for page in "${pages[@]}"; do
  name=$(basename "$page" .1)

  out=$(mandoc -Tlint -W all "$page" 2>&1) || true
  [ -z "$out" ] || fail "$name.1: mandoc -Tlint:"$'\n'"$out"
  out=$(LC_ALL=C groff -man -Tascii -z "$page" 2>&1) || true
  [ -z "$out" ] || fail "$name.1: groff -Tascii:"$'\n'"$out"

  # .TH NAME SECTION DATE FOOTER HEADER
  th=$(grep -m1 '^\.TH ' "$page")
  date=$(sed -E 's/^\.TH +[^ ]+ +[^ ]+ +("([^"]*)"|([^ ]+)).*/\2\3/' <<<"$th")
  dates+=("$date")
  [[ $th == *' "juxkit @PROJECT_VERSION@" '* ]] ||
    fail "$name.1: the footer must be \"juxkit @PROJECT_VERSION@\": $th"
  if [ -f "$built/$name.1" ]; then
    bth=$(grep -m1 '^\.TH ' "$built/$name.1")
    [[ $bth == *" \"juxkit $version\" "* ]] || fail "$name.1: installed footer is not juxkit $version: $bth"
    ! grep -n '@[A-Za-z_]*@' "$built/$name.1" || fail "$name.1: placeholders left in the installed page"
  else
    fail "$name.1: not built into $built"
  fi

  nameline=$(section "$page" NAME | head -1)
  [ "${#nameline}" -lt 80 ] || fail "$name.1: NAME line of ${#nameline} bytes: $nameline"

  for s in SYNOPSIS DESCRIPTION "EXIT STATUS" ENVIRONMENT EXAMPLES "SEE ALSO"; do
    [ -n "$(section "$page" "$s")" ] || fail "$name.1: no $s section"
  done
  env=$(section "$page" ENVIRONMENT)
  for var in ${needs[$name]-}; do
    grep -qw -- "$var" <<<"$env" || fail "$name.1: ENVIRONMENT does not list $var"
  done
done

if [ "$(printf '%s\n' "${dates[@]}" | sort -u | wc -l)" -ne 1 ]; then
  fail "the pages carry different dates: ${dates[*]}"
fi
exit $failed
