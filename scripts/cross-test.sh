#!/usr/bin/env bash
# Cross-builds the engine and its suites for another of Debian's
# architectures and runs them under qemu-user: they must give the same
# numbers, to the bit, as on x86-64.
#   scripts/cross-test.sh arm64|ppc64el|s390x|i386
# Builds into build/ARCH. For arm64 it also builds the whole program against
# Debian's arm64 Qt, opens its window under qemu in Xvfb with the host's
# window test, and builds and checks the arm64 package. The arm64 Qt is
# unpacked into a folder of its own (build/arm64-sysroot), from this
# machine's release and sources: dpkg's architectures and apt's sources
# stay as they are.
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

# The arm64 libraries that the program links, unpacked with their
# dependencies, and a dpkg database of them that dpkg-shlibdeps can read (it
# maps a library file to its package and its symbols file). Nothing is
# installed; the folder is made once.
make_sysroot() {
  local root=$1 codename sources=() deb tmp pkg name list
  [ -f "$root/.ready" ] && return 0
  rm -rf "$root"
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -s "$f" ] && grep -qv '^[[:space:]]*\(#\|$\)' "$f" && sources+=("$f")
  done
  echo "Unpacking Debian's arm64 Qt ($codename) into $root"
  # testing's Release file may be past its expiry date on a mirror's copy.
  mmdebstrap --quiet --variant=extract --architectures=arm64 --skip=cleanup/apt/cache \
    --aptopt='Acquire::Check-Valid-Until "false"' \
    --include=qt6-base-dev,"$(svg_plugin_package)" "$codename" "$root" "${sources[@]}"
  # Debian 13 ships libraries under /usr only; the links of a merged /usr,
  # which an installation would make, lead qemu to the dynamic loader.
  for dir in bin sbin lib; do
    [ -e "$root/$dir" ] || ln -s "usr/$dir" "$root/$dir"
  done
  tmp=$(mktemp -d)
  : >"$root/var/lib/dpkg/status"
  echo 1 >"$root/var/lib/dpkg/info/format"  # the layout of the names below
  for deb in "$root"/var/cache/apt/archives/*.deb; do
    pkg=$(dpkg-deb -f "$deb" Package)
    # dpkg names the files of a package that may be installed for several
    # architectures at once after its architecture too.
    name=$pkg
    [ "$(dpkg-deb -f "$deb" Multi-Arch)" = same ] && name=$pkg:$(dpkg-deb -f "$deb" Architecture)
    { dpkg-deb -f "$deb"; echo "Status: install ok installed"; echo; } >>"$root/var/lib/dpkg/status"
    rm -rf "$tmp/control"
    dpkg-deb -e "$deb" "$tmp/control"
    for part in shlibs symbols; do
      [ -f "$tmp/control/$part" ] && cp "$tmp/control/$part" "$root/var/lib/dpkg/info/$name.$part"
    done
    # Paths as they lie here, where dpkg-shlibdeps finds the libraries.
    list="$root/var/lib/dpkg/info/$name.list"
    dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -e 's|^\./|/|' -e 's|/$||' -e "s|^|$root|" >"$list"
  done
  rm -rf "$tmp" "$root"/var/cache/apt/archives/*.deb
  # Qt's build tools (moc, rcc) must be the host's: without the target's
  # tool packages' configuration, CMake finds those of QT_HOST_PATH.
  rm -rf "$root"/usr/lib/aarch64-linux-gnu/cmake/Qt6*Tools
  touch "$root/.ready"
}

# The package that holds Qt's SVG plugins on this release: the first that
# apt knows of the names they had.
svg_plugin_package() {
  local name
  for name in qt6-svg-plugins libqt6svg6; do
    apt-cache show --no-all-versions "$name" >/dev/null 2>&1 && { echo "$name"; return; }
  done
}

program=OFF
extra=()
configure=()
if [ "$arch" = arm64 ]; then
  program=ON
  # The host's Qt builds it (moc, rcc); the host's window test and package
  # tools check it.
  extra=(mmdebstrap qt6-base-dev dpkg-dev file lintian libx11-dev xvfb xauth)
  sysroot=$PWD/build/arm64-sysroot
  configure=(-DTHREEBODY_SYSROOT="$sysroot")
fi
scripts/install-deps.sh cross "g++-$triplet" "${extra[@]}"
[ "$arch" = arm64 ] && make_sysroot "$sysroot"

echo "== $arch: engine suites under $qemu =="
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE=cmake/debian-cross.cmake -DTHREEBODY_CROSS_ARCH="$arch" \
  -DTHREEBODY_BUILD_APP="$program" -DTHREEBODY_BUILD_TESTS=ON -DTHREEBODY_BUILD_BENCH=OFF \
  "${configure[@]}" >/dev/null
cmake --build "$build" -j "$jobs"
# The slow suite (memory over long use) is the same code; under emulation
# it would take minutes and tells nothing new.
ctest --test-dir "$build" --output-on-failure -j "$jobs" -LE slow

[ "$arch" = arm64 ] || exit 0

echo "== arm64: the program's window under qemu =="
# The driver is the host's window test; it starts the arm64 program through
# qemu, which finds the arm64 libraries, and Qt its plugins, in the sysroot.
if [ ! -x build/release/tests/e2e_window_test ]; then
  cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTHREEBODY_BUILD_TESTS=ON -DTHREEBODY_BUILD_BENCH=OFF >/dev/null
  cmake --build build/release --target e2e_window_test -j "$jobs"
fi
launcher="$PWD/$build/threebody-under-qemu"
# qemu lets the program open the sysroot's files by their usual paths, but
# Qt lists its plugin folders, which needs their real path.
printf '#!/bin/sh\nQT_PLUGIN_PATH=%s exec %s -L %s %s "$@"\n' \
  "$sysroot/usr/lib/aarch64-linux-gnu/qt6/plugins" "$qemu" "$sysroot" "$PWD/$build/threebody" >"$launcher"
chmod +x "$launcher"
build/release/tests/e2e_window_test "$launcher" --gtest_filter=RealWindow.* --gtest_brief=1

echo "== arm64: the package =="
rm -f "$build"/threebody_*.deb
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
export SOURCE_DATE_EPOCH
# dpkg-shlibdeps reads the sysroot's database for the arm64 libraries.
(cd "$build" && DPKG_ADMINDIR="$sysroot/var/lib/dpkg" cpack -G DEB >/dev/null)
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
