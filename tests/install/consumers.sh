#!/usr/bin/env bash
# Installs the build into a temporary prefix and builds a C program against
# the installed queue library twice, through pkg-config and through
# find_package(juxkit); each must send and receive a message on a real queue.
#
# Usage: consumers.sh BUILD_DIR CONSUMER_DIR VERSION CC [CFLAGS]
#   CFLAGS  extra compiler and linker flags (the sanitizers, for a sanitized build)
set -euo pipefail
build=$1 src=$2 version=$3 cc=$4 cflags=${5-}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix

fail() { echo "consumers: $*"; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" 2>&1 ||
  { cat "$tmp/install.log"; fail "cmake --install failed"; }

for f in bin/mqtool bin/pickbox bin/askbox bin/notebox include/quelib.h \
         share/man/man1/mqtool.1.gz share/man/man1/pickbox.1.gz \
         share/man/man1/askbox.1.gz share/man/man1/notebox.1.gz share/man/man3/quelib.3.gz; do
  [ -f "$prefix/$f" ] || fail "not installed: $f"
done
for page in "$prefix"/share/man/man[13]/*.gz; do
  th=$(zcat "$page" | grep -m1 '^\.TH ')
  [[ $th == *" \"juxkit $version\" "* ]] || fail "$(basename "$page"): footer is not juxkit $version: $th"
done
pc=$(find "$prefix" -name quelib.pc)
[ -n "$pc" ] || fail "quelib.pc not installed"
config=$(find "$prefix" -name juxkitConfig.cmake)
[ -n "$config" ] || fail "juxkitConfig.cmake not installed"

# pkg-config, and a plain compiler call.
export PKG_CONFIG_PATH=${pc%/*}
got=$(pkg-config --modversion quelib)
[ "$got" = "$version" ] || fail "pkg-config --modversion quelib gives $got, not $version"
read -ra flags <<<"$(pkg-config --cflags --libs quelib)"
[[ ${flags[*]} == *"-I$prefix/include"* ]] || fail "pkg-config flags do not name the prefix: ${flags[*]}"
read -ra extra <<<"$cflags"
"$cc" -Wall -Wextra -Werror "${extra[@]}" -o "$tmp/consumer-pc" "$src/consumer.c" "${flags[@]}" ||
  fail "the pkg-config build failed"
"$tmp/consumer-pc" || fail "the pkg-config build did not pass a message"

# A CMake project; juxkit must come from the prefix, not from the system.
if ! cmake -S "$src" -B "$tmp/cmake" -DCMAKE_PREFIX_PATH="$prefix" -DJUX_VERSION="$version" \
      -DCMAKE_C_COMPILER="$cc" -DCMAKE_C_FLAGS="-Wall -Wextra -Werror $cflags" \
      -DCMAKE_EXE_LINKER_FLAGS="$cflags" >"$tmp/cmake.log" 2>&1 ||
   ! cmake --build "$tmp/cmake" >>"$tmp/cmake.log" 2>&1; then
  cat "$tmp/cmake.log"
  fail "the CMake build failed"
fi
dir=$(sed -n 's/^juxkit_DIR:PATH=//p' "$tmp/cmake/CMakeCache.txt")
[ "$dir" = "${config%/*}" ] || fail "find_package found juxkit in $dir, not in the prefix"
"$tmp/cmake/consumer" || fail "the CMake build did not pass a message"
