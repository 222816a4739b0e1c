# Sourced by the scripts in scripts/: package checks and the build.

# The Debian packages a build and its tests need.
JUX_BUILD_PACKAGES="g++ cmake make pkg-config libncurses-dev libgtest-dev libvterm-dev ncurses-base"

# need_packages PKG...: install what is missing (as root), or print the exact line and stop.
need_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -eq 0 ]; then
    echo "Installing: ${missing[*]}" >&2
    apt-get update -qq >/dev/null &&
      DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null || {
        echo "apt-get install failed for: ${missing[*]}" >&2; exit 1; }
  else
    echo "Missing Debian packages. Install them with:" >&2
    echo "  sudo apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
}

# build DIR [cmake args...]: configure and build the project into DIR.
build() {
  local dir=$1; shift
  cmake -S "$JUX_ROOT" -B "$dir" "$@" >/dev/null &&
    cmake --build "$dir" -j "$(nproc)" -- --no-print-directory >/dev/null
}
