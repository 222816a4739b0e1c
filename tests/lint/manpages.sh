#!/usr/bin/env bash
# Checks the manual pages: mandoc's lint and groff on a plain ASCII terminal say
# nothing; every page has one date, a footer that reads right from the source
# tree and carries the project's version once built, a short NAME line, and
# the sections a reader looks for; the library's page shows every function of
# its header.
#
# Usage: manpages.sh SOURCE_MAN_DIR BUILD_MAN_DIR VERSION HEADER
set -uo pipefail
src=$1 built=$2 version=$3 header=$4

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

# The sections each kind of page must have.
sections1=(SYNOPSIS DESCRIPTION "EXIT STATUS" ENVIRONMENT EXAMPLES "SEE ALSO")
sections3=(SYNOPSIS DESCRIPTION "RETURN VALUE" ERRORS EXAMPLES "SEE ALSO")

dates=()
pages=("$src"/*.[13])
[ -e "${pages[0]}" ] || { echo "manpages: no pages in $src"; exit 1; }
for page in "${pages[@]}"; do
  file=$(basename "$page")
  name=${file%.*} sec=${file##*.}

  out=$(mandoc -Tlint -W all "$page" 2>&1) || true
  [ -z "$out" ] || fail "$name.1: mandoc -Tlint:"$'\n'"$out"
  out=$(LC_ALL=C groff -man -Tascii -z "$page" 2>&1) || true
  [ -z "$out" ] || fail "$name.1: groff -Tascii:"$'\n'"$out"

  # .TH NAME SECTION DATE FOOTER HEADER
  th=$(grep -m1 '^\.TH ' "$page")
  date=$(sed -E 's/^\.TH +[^ ]+ +[^ ]+ +("([^"]*)"|([^ ]+)).*/\2\3/' <<<"$th")
  dates+=("$date")
  [[ $th == *' "juxkit" '* ]] || fail "$file: the footer must be \"juxkit\": $th"
  ! grep -n '@[A-Za-z_]*@' "$page" || fail "$file: placeholders in the page"
  if [ -f "$built/$file" ]; then
    bth=$(grep -m1 '^\.TH ' "$built/$file")
    [[ $bth == *" \"juxkit $version\" "* ]] || fail "$file: installed footer is not juxkit $version: $bth"
    ! grep -n '@[A-Za-z_]*@' "$built/$file" || fail "$file: placeholders left in the installed page"
  else
    fail "$file: not built into $built"
  fi

  nameline=$(section "$page" NAME | head -1)
  [ "${#nameline}" -lt 80 ] || fail "$file: NAME line of ${#nameline} bytes: $nameline"

  case $sec in
    1) want=("${sections1[@]}") ;;
    *) want=("${sections3[@]}") ;;
  esac
  for s in "${want[@]}"; do
    [ -n "$(section "$page" "$s")" ] || fail "$file: no $s section"
  done
  env=$(section "$page" ENVIRONMENT)
  for var in ${needs[$name]-}; do
    grep -qw -- "$var" <<<"$env" || fail "$file: ENVIRONMENT does not list $var"
  done
done

# Every function the library's header declares, in its page's SYNOPSIS, its
# NAME line and described in its own paragraph.
[ -f "$src/quelib.3" ] || fail "no quelib.3 in $src"
synopsis=$(section "$src/quelib.3" SYNOPSIS)
names=$(section "$src/quelib.3" NAME)
funcs=$(sed -nE 's/^[a-z_ ]+[ *]([a-zA-Z_]+)\(.*\);$/\1/p' "$header")
[ -n "$funcs" ] || fail "no functions found in $header"
for f in $funcs; do
  grep -q "\"int $f(" <<<"$synopsis" || fail "quelib.3: $f is not in the SYNOPSIS"
  grep -qw -- "$f" <<<"$names" || fail "quelib.3: $f is not on the NAME line"
  grep -qx "\.BI $f( .*" "$src/quelib.3" || fail "quelib.3: $f has no paragraph of its own"
done

if [ "$(printf '%s\n' "${dates[@]}" | sort -u | wc -l)" -ne 1 ]; then
  fail "the pages carry different dates: ${dates[*]}"
fi
exit $failed
