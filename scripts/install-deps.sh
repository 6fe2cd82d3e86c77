#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running need,
# and only those that are missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libbenchmark-dev
  qt6-base-dev libx11-dev fonts-dejavu-core
  xvfb xauth xdotool imagemagick x11-utils
  clang libclang-rt-14-dev valgrind
  dpkg-dev desktop-file-utils appstream
  "$@"
)

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
