#!/usr/bin/env bash
# Installs the Debian packages that one use of the project needs, and only
# those that are missing:
#   scripts/install-deps.sh run       build and run the program
#   scripts/install-deps.sh package   ... and build its Debian package
#   scripts/install-deps.sh test      ... and run every test
#   scripts/install-deps.sh cross     build the engine's suites for another
#                                     architecture and run them under qemu
# Further package names after the first argument are installed too.
set -euo pipefail

use=${1:?usage: install-deps.sh run|package|test|cross [package...]}
shift

run=(cmake ninja-build g++ pkg-config qt6-base-dev libqt6svg6 fonts-dejavu-core)
# dpkg-shlibdeps computes the package's dependencies; it needs file.
package=("${run[@]}" dpkg-dev file)
test=("${package[@]}"
  libgtest-dev libbenchmark-dev libx11-dev
  xvfb xauth xdotool imagemagick x11-utils
  clang libclang-rt-14-dev valgrind
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

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
