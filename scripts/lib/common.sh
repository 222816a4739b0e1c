# shellcheck shell=bash
# Sourced by the scripts in scripts/: package checks and the build.

# The Debian packages the programs need to build, and those the tests add.
# shellcheck disable=SC2034  # used by the scripts that source this file
JUX_PROGRAM_PACKAGES=(g++ cmake make pkg-config libncurses-dev ncurses-base)
# shellcheck disable=SC2034
JUX_BUILD_PACKAGES=("${JUX_PROGRAM_PACKAGES[@]}" libgtest-dev libvterm-dev locales)
# What the lint, install and package tests need besides: manual page and shell
# checkers, and the Debian packaging tools (cpack reads dependencies with
# dpkg-shlibdeps, which needs file).
# shellcheck disable=SC2034
JUX_CHECK_PACKAGES=(mandoc groff-base shellcheck dpkg-dev file lintian)

# need_packages PKG...: install what is missing (as root), or print the exact line and stop.
need_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}" >&2
    if ! { apt-get update -qq >/dev/null &&
      DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null; }; then
      echo "apt-get install failed for: ${missing[*]}" >&2
      exit 1
    fi
  else
    echo "Missing Debian packages. Install them as root with:" >&2
    echo "  apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
}

# build DIR [cmake args...]: configure and build the project into DIR.
build() {
  local dir=$1; shift
  cmake -S "$JUX_ROOT" -B "$dir" "$@" >/dev/null &&
    cmake --build "$dir" -j "$(nproc)" -- --no-print-directory >/dev/null
}

# build_programs DIR [cmake args...]: the programs alone, no tests, showing
# make's progress lines.
build_programs() {
  local dir=$1; shift
  cmake -S "$JUX_ROOT" -B "$dir" -DJUX_TESTS=OFF "$@" >/dev/null &&
    cmake --build "$dir" -j "$(nproc)" -- --no-print-directory | { grep --line-buffered -E '^\[ *[0-9]+%\]' || true; }
}
