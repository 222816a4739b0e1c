#!/usr/bin/env bash
# Makes the Debian packages as a packager does (scripts/package), checks their
# control fields and contents, that the windows link the system's C library and
# curses and carry no copy of them, and the distribution's hardening; runs
# lintian on them; installs them into a temporary root with dpkg, runs the
# programs from there (an mqtool round trip, a pickbox choice taken by mqtool
# and an askbox answer in a pseudo-terminal, notebox with no terminal) and
# purges them, which must leave nothing behind.
#
# Usage: deb.sh SOURCE_DIR VERSION
set -euo pipefail
src=$1 version=$2

fail() { echo "deb: $*"; exit 1; }
for tool in cpack dpkg dpkg-deb dpkg-shlibdeps file lintian readelf script; do
  command -v "$tool" >/dev/null || fail "needs $tool (scripts/test installs it)"
done

tmp=$(mktemp -d)
key=$((0x4B000000 + $$))  # a queue of this run's own
trap 'ipcrm -Q "$key" 2>/dev/null || true; rm -rf "$tmp"' EXIT

"$src/scripts/package" "$tmp/build" >"$tmp/package.log" 2>&1 ||
  { cat "$tmp/package.log"; fail "scripts/package failed"; }
arch=$(dpkg --print-architecture)
progs=$tmp/build/juxkit_${version}_$arch.deb
dev=$tmp/build/libquelib-dev_${version}_$arch.deb
for deb in "$progs" "$dev"; do
  [ -f "$deb" ] || { ls "$tmp/build"; fail "no $(basename "$deb")"; }
done

# field DEB NAME WANT: the control field, matched as a shell pattern (- for
# none).
field() {
  local got want=$3
  [ "$want" = - ] && want=
  got=$(dpkg-deb -f "$1" "$2")
  # shellcheck disable=SC2053  # WANT is a pattern
  [[ $got == $want ]] || fail "$(basename "$1"): $2 is '$got', not '$want'"
}
while read -r deb name want; do
  field "${!deb}" "$name" "$want"
done <<'TABLE'
progs Section     utils
progs Multi-Arch  foreign
progs Depends     *libc6*
progs Depends     *libncursesw6*
progs Depends     *libtinfo6*
progs Built-Using -
dev   Section     libdevel
dev   Multi-Arch  same
dev   Built-Using -
TABLE
echo "Depends: $(dpkg-deb -f "$progs" Depends)"

# Each file where it belongs, and in one package only.
dpkg-deb -c "$progs" | awk '{print $6}' >"$tmp/progs.contents"
dpkg-deb -c "$dev" | awk '{print $6}' >"$tmp/dev.contents"
while read -r list pattern; do
  grep -qx -- "$pattern" "$tmp/$list.contents" || fail "not in the $list package: $pattern"
done <<'TABLE'
progs ./usr/bin/mqtool
progs ./usr/bin/pickbox
progs ./usr/bin/askbox
progs ./usr/bin/notebox
progs ./usr/share/man/man1/mqtool\.1\.gz
progs ./usr/share/man/man1/pickbox\.1\.gz
progs ./usr/share/man/man1/askbox\.1\.gz
progs ./usr/share/man/man1/notebox\.1\.gz
progs ./usr/share/doc/juxkit/README\.md
progs ./usr/share/doc/juxkit/copyright
progs ./usr/share/doc/juxkit/changelog\.gz
progs ./usr/share/doc/juxkit/examples/menu\.sh
dev   ./usr/include/quelib\.h
dev   ./usr/lib/.*/libquelib\.a
dev   ./usr/lib/.*/pkgconfig/quelib\.pc
dev   ./usr/lib/.*/cmake/juxkit/juxkitConfig\.cmake
dev   ./usr/lib/.*/cmake/juxkit/juxkitConfigVersion\.cmake
dev   ./usr/share/man/man3/quelib\.3\.gz
dev   ./usr/share/doc/libquelib-dev/copyright
dev   ./usr/share/doc/libquelib-dev/changelog\.gz
TABLE
both=$(comm -12 <(grep -v '/$' "$tmp/progs.contents" | sort) <(grep -v '/$' "$tmp/dev.contents" | sort))
[ -z "$both" ] || fail "in both packages: $both"
grep -q '^Expat license\|^License: Expat' <(dpkg-deb --fsys-tarfile "$progs" | tar -xO ./usr/share/doc/juxkit/copyright) ||
  fail "the copyright file names no licence"

root=$tmp/root
dpkg-deb -x "$progs" "$tmp/unpacked"
# The programs load the system's libraries: each has the dynamic loader and
# names the shared C library and the curses libraries it uses, and is built
# with the hardening flags (now binding, read-only relocations, PIE).
while read -r prog libs; do
  bin=$tmp/unpacked/usr/bin/$prog
  readelf -lW "$bin" | grep -q ' INTERP ' || fail "$prog: no dynamic loader (a static C library inside)"
  readelf -lW "$bin" | grep -q ' GNU_RELRO ' || fail "$prog: no RELRO"
  readelf -dW "$bin" >"$tmp/dynamic"
  grep -q 'FLAGS_1.* NOW' "$tmp/dynamic" || fail "$prog: not linked with -z now"
  grep -q 'FLAGS_1.* PIE' "$tmp/dynamic" || fail "$prog: not a PIE"
  for lib in $libs; do
    grep -qF "Shared library: [$lib]" "$tmp/dynamic" || fail "$prog: does not load $lib"
  done
done <<'TABLE'
mqtool  libc.so.6
pickbox libc.so.6 libncursesw.so.6 libtinfo.so.6
askbox  libc.so.6 libncursesw.so.6 libtinfo.so.6
notebox libc.so.6 libtinfo.so.6
TABLE

# Errors and warnings fail the test; what lintian says besides is shown.
status=0
lintian --pedantic --fail-on error,warning --tag-display-limit 0 "$progs" "$dev" >"$tmp/lintian.out" 2>&1 || status=$?
grep -v 'running with root privileges' "$tmp/lintian.out" || true
[ "$status" -eq 0 ] || fail "lintian reports errors or warnings"

# Installed into a root of its own; the libraries come from the system.
mkdir -p "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/info"
: >"$root/var/lib/dpkg/status"
dpkg --root="$root" --force-depends --force-not-root -i "$progs" "$dev" >"$tmp/dpkg.log" 2>&1 ||
  { cat "$tmp/dpkg.log"; fail "dpkg -i failed"; }
pc=$(find "$root" -name quelib.pc)
grep -qx 'prefix=/usr' "$pc" || fail "quelib.pc does not name /usr: $(grep ^prefix= "$pc")"

export PATH="$root/usr/bin:$PATH" JUX_QUEID=$key TERM=xterm LC_ALL=C.UTF-8
out=$(mqtool -s "$key" "hello from the package" tag 2>&1) || fail "mqtool -s: $out"
out=$(mqtool -r "$key" 2>&1) || fail "mqtool -r: $out"
[ "$out" = "hello from the package" ] || fail "mqtool -r gave '$out'"

# in_pty COMMAND KEYS: COMMAND in a pseudo-terminal, typed KEYS once it had
# time to draw (typed ahead on a slow machine, which works as well). A window
# that never ends fails after a minute.
in_pty() {
  { sleep 1; printf '%b' "$2"; sleep 1; } | timeout 60 script -qec "$1" /dev/null >"$tmp/pty.out" 2>&1
}
in_pty 'pickbox Apple Banana Fruit' '\033[B\r' || fail "pickbox in a terminal exited $?"
out=$(timeout 10 mqtool -r "$key" 2>&1) || fail "mqtool -r after pickbox: $out"
[ "$out" = Banana ] || fail "pickbox then mqtool -r gave '$out', not Banana"
in_pty "askbox 'Your name?' NAME >$tmp/askbox.out" 'x; touch pwned\r' || fail "askbox in a terminal exited $?"
[ "$(cat "$tmp/askbox.out")" = 'NAME=x; touch pwned' ] || fail "askbox printed '$(cat "$tmp/askbox.out")'"
status=0
setsid notebox hello </dev/null >"$tmp/notebox.out" 2>&1 || status=$?
[ "$status" -eq 0 ] || fail "notebox with no terminal exited $status: $(cat "$tmp/notebox.out")"

dpkg --root="$root" --force-not-root --purge juxkit libquelib-dev >"$tmp/dpkg.log" 2>&1 ||
  { cat "$tmp/dpkg.log"; fail "dpkg --purge failed"; }
left=$(find "$root" -mindepth 1 -path "$root/var/lib/dpkg" -prune -o \
  -not -path "$root/var" -not -path "$root/var/lib" -print)
[ -z "$left" ] || fail "left after the purge: $left"
