#!/usr/bin/env bash
# Cross-builds the engine and its suites for another of Debian's
# architectures and runs them under qemu-user: they must give the same
# numbers, to the bit, as on x86-64.
#   scripts/cross-test.sh arm64|ppc64el|s390x|i386
# Builds into build/ARCH. For arm64 it also builds the whole program against
# Debian's arm64 Qt, opens its window under qemu in Xvfb with the host's
# window test, and builds and checks the arm64 package. That needs arm64
# added to dpkg's architectures (dpkg --add-architecture arm64), which this
# script does: it changes which packages apt can install on this machine.
set -euo pipefail
cd "$(dirname "$0")/.."

arch=${1:?usage: cross-test.sh arm64|ppc64el|s390x|i386}
case "$arch" in
arm64) triplet=aarch64-linux-gnu qemu=qemu-aarch64 ;;
ppc64el) triplet=powerpc64le-linux-gnu qemu=qemu-ppc64le ;;
s390x) triplet=s390x-linux-gnu qemu=qemu-s390x ;;
i386) triplet=i686-linux-gnu qemu=qemu-i386 ;;
*) echo "cross-test.sh: unknown architecture '$arch' (arm64, ppc64el, s390x or i386)" >&2; exit 2 ;;
esac
build=build/$arch
jobs=$(nproc)

program=OFF
extra=()
if [ "$arch" = arm64 ]; then
  program=ON
  if ! dpkg --print-foreign-architectures | grep -qx arm64; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    echo "Adding arm64 to dpkg's architectures"
    $sudo dpkg --add-architecture arm64
  fi
  # The target's Qt beside the host's, whose moc and rcc build it; the host's
  # window test and package tools check it.
  extra=(qt6-base-dev:arm64 libqt6svg6:arm64 qt6-base-dev dpkg-dev file lintian
         libx11-dev xvfb xauth)
fi
scripts/install-deps.sh cross "g++-$triplet" "${extra[@]}"

echo "== $arch: engine suites under $qemu =="
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/debian-cross.cmake -DTHREEBODY_CROSS_ARCH="$arch" \
  -DTHREEBODY_BUILD_APP="$program" -DTHREEBODY_BUILD_TESTS=ON -DTHREEBODY_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs"
# The slow suite (memory over long use) is the same code; under emulation
# it would take minutes and tells nothing new.
ctest --test-dir "$build" --output-on-failure -j "$jobs" -LE slow

[ "$arch" = arm64 ] || exit 0

echo "== arm64: the program's window under qemu =="
# The driver is the host's window test; it starts the arm64 program through
# qemu, which finds the arm64 libraries where multiarch put them.
if [ ! -x build/release/tests/e2e_window_test ]; then
  cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTHREEBODY_BUILD_TESTS=ON -DTHREEBODY_BUILD_BENCH=OFF >/dev/null
  cmake --build build/release --target e2e_window_test -j "$jobs"
fi
launcher="$PWD/$build/threebody-under-qemu"
printf '#!/bin/sh\nexec %s %s "$@"\n' "$qemu" "$PWD/$build/threebody" >"$launcher"
chmod +x "$launcher"
build/release/tests/e2e_window_test "$launcher" --gtest_filter=RealWindow.* --gtest_brief=1

echo "== arm64: the package =="
rm -f "$build"/threebody_*.deb
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/threebody_*_arm64.deb)
dpkg-deb -f "$deb" Architecture Depends
[ "$(dpkg-deb -f "$deb" Architecture)" = arm64 ]
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6 (>='  # computed by dpkg-shlibdeps
lintian --tag-display-limit 0 "$deb" >"$build/lintian.txt" 2>&1 || true
if grep -E '^[EW]: ' "$build/lintian.txt"; then
  echo "lintian found errors or warnings"
  exit 1
fi
echo "arm64: suites, window and package $(basename "$deb") pass"
