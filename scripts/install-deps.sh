#!/usr/bin/env bash
# Installs the Debian packages that one use of the project needs, and only
# those that are missing:
#   scripts/install-deps.sh run       build and run the program
#   scripts/install-deps.sh package   ... and build its Debian package
#   scripts/install-deps.sh test      ... and run every test
#   scripts/install-deps.sh cross     build the engine's suites for another
#                                     architecture and run them under qemu
# Further package names after the first argument are installed too.
# "a|b" names a package by its names across Debian's releases: the first that
# apt knows is the one meant (Qt's SVG plugins left libqt6svg6 in Debian 13).
set -euo pipefail

use=${1:?usage: install-deps.sh run|package|test|cross [package...]}
shift

run=(cmake ninja-build g++ pkg-config qt6-base-dev 'qt6-svg-plugins|libqt6svg6' fonts-dejavu-core)
# dpkg-shlibdeps computes the package's dependencies; it needs file.
package=("${run[@]}" dpkg-dev file)
test=("${package[@]}"
  libgtest-dev libbenchmark-dev libx11-dev
  xvfb xauth xdotool imagemagick x11-utils
  weston qt6-wayland at-spi2-core python3-pyatspi dbus-daemon dbus-bin qemu-user
  clang libclang-rt-dev valgrind
  desktop-file-utils appstream lintian devscripts)

cross=(cmake ninja-build g++ libgtest-dev qemu-user)

case "$use" in
run) packages=("${run[@]}") ;;
package) packages=("${package[@]}") ;;
test) packages=("${test[@]}") ;;
cross) packages=("${cross[@]}") ;;
*) echo "install-deps.sh: unknown use '$use' (run, package, test or cross)" >&2; exit 2 ;;
esac
packages+=("$@")

# The first of a|b that apt knows; the first name when it knows none (yet).
resolve() {
  local name
  for name in ${1//|/ }; do
    apt-cache show --no-all-versions "$name" >/dev/null 2>&1 && { echo "$name"; return; }
  done
  echo "${1%%|*}"
}

missing_of() {
  local p name
  for p in "$@"; do
    name=$(resolve "$p")
    dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}

mapfile -t missing < <(missing_of "${packages[@]}")
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
mapfile -t missing < <(missing_of "${missing[@]}")
[ ${#missing[@]} -eq 0 ] && exit 0
names=()
for p in "${missing[@]}"; do names+=("$(resolve "$p")"); done
echo "Installing: ${names[*]}"
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${names[@]}" >/dev/null
