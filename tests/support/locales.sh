#!/usr/bin/env bash
# locales.sh DIR: compiles the locales the tests run the windows in into DIR
# (for LOCPATH; no root needed). One of them, ja_JP.nomodule, is EUC-JP under
# a character set name the C library has no conversion for: what a locale
# looks like to a program when the conversion modules are missing.
set -euo pipefail
dir=$1
stamp=$dir/.complete
[ -f "$stamp" ] && exit 0
command -v localedef >/dev/null || { echo "locales.sh: localedef not found" >&2; exit 1; }
charmaps=/usr/share/i18n/charmaps
[ -f "$charmaps/EUC-JP.gz" ] || { echo "locales.sh: no charmaps in $charmaps (Debian package locales)" >&2; exit 1; }
mkdir -p "$dir"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

make_locale() {  # make_locale NAME SOURCE CHARMAP
  # Shift_JIS is not ASCII-compatible (its 0x5C is the yen sign), which
  # localedef would warn about and fail on.
  if ! localedef --no-warnings=ascii -i "$2" -f "$3" "$dir/$1" >"$tmp/log" 2>&1 || [ ! -s "$dir/$1/LC_CTYPE" ]; then
    echo "locales.sh: cannot make $1:" >&2
    cat "$tmp/log" >&2
    exit 1
  fi
}

make_locale C.UTF-8 C UTF-8
make_locale ja_JP.eucJP ja_JP EUC-JP
make_locale ja_JP.SJIS ja_JP SHIFT_JIS
make_locale en_US.ISO-8859-1 en_US ISO-8859-1
zcat "$charmaps/EUC-JP.gz" | sed -e 's/^<code_set_name> .*/<code_set_name> NOMODULE/' -e '/^% alias /d' >"$tmp/NOMODULE"
make_locale ja_JP.nomodule ja_JP "$tmp/NOMODULE"
touch "$stamp"
