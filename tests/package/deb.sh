#!/usr/bin/env bash
# Makes the Debian package from the build with cpack, checks its contents and
# control fields, runs lintian on it, and runs programs from it unpacked into a
# temporary root: an mqtool round trip, and notebox with no terminal.
#
# Usage: deb.sh BUILD_DIR VERSION
set -euo pipefail
build=$1 version=$2

fail() { echo "deb: $*"; exit 1; }
for tool in cpack dpkg-deb dpkg-shlibdeps file lintian; do
  command -v "$tool" >/dev/null || fail "needs $tool (scripts/test installs it)"
done

tmp=$(mktemp -d)
key=$((0x4B000000 + $$))  # a queue of this run's own
trap 'ipcrm -Q "$key" 2>/dev/null || true; rm -rf "$tmp"' EXIT

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log"; fail "cpack failed"; }
deb=$tmp/out/juxkit_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { ls "$tmp/out"; fail "no $(basename "$deb")"; }

depends=$(dpkg-deb -f "$deb" Depends)
[[ $depends == *libc6* ]] || fail "Depends not read from the programs: '$depends'"
echo "Depends: $depends"

dpkg-deb -c "$deb" | awk '{print $6}' >"$tmp/contents"
for f in ./usr/bin/mqtool ./usr/bin/pickbox ./usr/bin/askbox ./usr/bin/notebox \
         ./usr/share/man/man1/mqtool.1.gz ./usr/share/man/man1/pickbox.1.gz \
         ./usr/share/man/man1/askbox.1.gz ./usr/share/man/man1/notebox.1.gz \
         ./usr/include/quelib.h ./usr/share/doc/juxkit/README.md ./usr/share/doc/juxkit/copyright \
         ./usr/share/doc/juxkit/changelog.gz ./usr/share/doc/juxkit/examples/menu.sh; do
  grep -qxF "$f" "$tmp/contents" || fail "not in the package: $f"
done
for f in /libquelib.a /pkgconfig/quelib.pc /cmake/juxkit/juxkitConfig.cmake /cmake/juxkit/juxkitConfigVersion.cmake; do
  grep -q "^\./usr/lib.*$f\$" "$tmp/contents" || fail "not in the package: $f"
done

root=$tmp/root
dpkg-deb -x "$deb" "$root"
pc=$(find "$root" -name quelib.pc)
grep -qx 'prefix=/usr' "$pc" || fail "quelib.pc does not name /usr: $(grep ^prefix= "$pc")"

out=$("$root/usr/bin/mqtool" -s "$key" "hello from the package" tag 2>&1) || fail "mqtool -s: $out"
out=$("$root/usr/bin/mqtool" -r "$key" 2>&1) || fail "mqtool -r: $out"
[ "$out" = "hello from the package" ] || fail "mqtool -r gave '$out'"

status=0
setsid "$root/usr/bin/notebox" hello </dev/null >"$tmp/notebox.out" 2>&1 || status=$?
[ "$status" -eq 0 ] || fail "notebox with no terminal exited $status: $(cat "$tmp/notebox.out")"

# Errors fail the test; warnings are shown.
status=0
lintian --fail-on error --tag-display-limit 0 "$deb" >"$tmp/lintian.out" 2>&1 || status=$?
grep -v 'running with root privileges' "$tmp/lintian.out" || true
[ "$status" -eq 0 ] || fail "lintian reports errors"
