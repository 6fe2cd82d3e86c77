#!/usr/bin/env bash
# debian-build.sh's work inside its throwaway chroot, as root, on the source
# tree it is part of; what it keeps goes to /out (or $DEBIAN_BUILD_OUT).
#   debian-build-inside.sh [CROSS-ARCH]
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/tools.sh
cross=${1:-}
arch=${cross:-$(dpkg --print-architecture)}
out=${DEBIAN_BUILD_OUT:-/out} && mkdir "$out"
echo "== on $(. /etc/os-release && echo "$PRETTY_NAME"), $(dpkg --print-architecture)${cross:+, building for $cross}"
build() { dpkg-buildpackage -us -uc -b "$@" >"$out"/build.log 2>&1 || { tail -n 60 "$out"/build.log; exit 1; }; }
if [ -n "$cross" ]; then
  # The build machine's tools, the target's libraries.
  apt_install install "crossbuild-essential-$cross"
  apt_install build-dep -a "$cross" --build-profiles=nocheck ./
  build -a "$cross" -Pnocheck
else
  apt_install build-dep ./
  build
  grep -E '^ *[0-9]+/[0-9]+ Test|tests passed' "$out"/build.log || { echo "the build ran no tests"; exit 1; }
fi
cp ../threebody_* "$out"/
deb=$(ls "$out"/threebody_*_"$arch".deb)
dpkg-deb -f "$deb" Architecture Depends Recommends
apt_install install "${checking_tools[@]}"
echo "== lintian --pedantic"
# As root lintian says it would rather not run as root; that is no finding.
lintian --pedantic --fail-on error,warning,pedantic --tag-display-limit 0 ../threebody_*.changes >"$out"/lintian.txt 2>&1 ||
  { cat "$out"/lintian.txt; echo "lintian found errors, warnings or pedantic tags"; exit 1; }
grep -v 'running with root privileges' "$out"/lintian.txt || true

if [ -n "$cross" ]; then
  echo "== the $cross program's window under qemu-user"
  # The window test's Depends, the build machine's, drive the target's program.
  apt_install install "$deb" python3 python3-xlib xvfb qemu-user
  python3 tests/e2e/e2e_test.py --wrapper "scripts/qemu-user $cross" Window
  exit 0
fi

echo "== blhc: the build log's compiler and linker flags"
blhc "$out"/build.log
echo "== hardening-check"
# Fortification: blhc reads it from the compile lines; hardening-check counts
# calls, and ours have sizes known only at run time, so it would say "no".
options=(--nofortify)
# On x86 a program is marked control-flow protected only when all its objects
# are; Debian 12's C start-up files are not, so there our objects are checked.
if [[ $arch == @(amd64|i386) ]] && ! readelf -n "$(g++ -print-file-name=crti.o)" | grep -q 'IBT, SHSTK'; then
  options+=(--nocfprotection)
  [ -n "$(find obj-* -name '*.o' -print -quit 2>/dev/null)" ] || { echo "no objects to check for control-flow protection"; exit 1; }
  unmarked=$(find obj-* -name '*.o' -exec sh -c 'readelf -n "$1" | grep -q "IBT, SHSTK" || echo "$1"' _ {} \;)
  [ -z "$unmarked" ] || { echo "objects built without control-flow protection:"; echo "$unmarked"; exit 1; }
fi
# Branch protection is arm64's; newer hardening-check asks every architecture.
if [ "$arch" != arm64 ] && [[ $(hardening-check --help 2>&1 || true) == *--nobranchprotection* ]]; then
  options+=(--nobranchprotection)
fi
unpacked=$(mktemp -d) && dpkg-deb -x "$deb" "$unpacked"
hardening-check "${options[@]}" "$unpacked"/usr/bin/threebody | tee "$out"/hardening.txt

echo "== reprotest: the same bytes from another path, time, locale, time zone, umask and more"
# Without FUSE or user namespaces in the chroot, file order and host name stay.
reprotest --vary=-fileordering,-domain_host,-user_group --store-dir="$out"/reprotest \
  --build-command='DEB_BUILD_OPTIONS=nocheck dpkg-buildpackage -us -uc -b -Pnocheck' . '../*.deb' \
  >"$out"/reprotest.log 2>&1 || { tail -n 60 "$out"/reprotest.log; echo "reprotest: the builds differ"; exit 1; }
tail -n 3 "$out"/reprotest.log

echo "== $(basename "$deb"): built, tested, lintian-clean, hardened, reproducible"
