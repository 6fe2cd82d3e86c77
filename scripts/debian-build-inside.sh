#!/usr/bin/env bash
# debian-build.sh's work inside its throwaway chroot, as root, on the source
# in /src; what it keeps goes to /out.   debian-build-inside.sh [ARCH]
set -euo pipefail
cd /src
. scripts/tools.sh
arch=${1:-}
mkdir /out
. /etc/os-release
echo "== on $PRETTY_NAME${arch:+, building for $arch}"
build() { dpkg-buildpackage -us -uc -b "$@" >/out/build.log 2>&1 || { tail -n 60 /out/build.log; exit 1; }; }
if [ -n "$arch" ]; then
  # The build machine's tools, the target's libraries.
  apt_install install "crossbuild-essential-$arch"
  apt_install build-dep -a "$arch" --build-profiles=nocheck ./
  build -a "$arch" -Pnocheck
else
  apt_install build-dep ./
  build
  grep -E '^ *[0-9]+/[0-9]+ Test|tests passed' /out/build.log
fi
cp ../threebody_* /out/
deb=$(ls /out/threebody_*_"${arch:-$(dpkg --print-architecture)}".deb)
dpkg-deb -f "$deb" Architecture Depends Recommends

echo "== lintian"
apt_install install "${checking_tools[@]}"
# As root lintian says it would rather not run as root; that is no finding.
lintian --tag-display-limit 0 ../threebody_*.changes 2>&1 | grep -v 'running with root privileges' | tee /out/lintian.txt || true
! grep -qE '^[EW]: ' /out/lintian.txt || { echo "lintian found errors or warnings"; exit 1; }

if [ -n "$arch" ]; then
  echo "== the $arch program's window under qemu-user"
  # The build machine's window test, compiler and Xvfb drive the target's program.
  apt_install install "$deb"
  apt_install build-dep ./
  qemu=qemu-$(dpkg-architecture -a "$arch" -qDEB_HOST_GNU_CPU 2>/dev/null | sed -e 's/^powerpc64le$/ppc64le/' -e 's/^i[3-6]86$/i386/')
  printf '#!/bin/sh\nexec %s /usr/bin/threebody "$@"\n' "$qemu" >/usr/local/bin/threebody-under-qemu
  chmod +x /usr/local/bin/threebody-under-qemu
  AUTOPKGTEST_TMP=$(mktemp -d) THREEBODY_PROGRAM=/usr/local/bin/threebody-under-qemu debian/tests/window
  exit 0
fi

echo "== hardening-check"
options=()
# On x86 the linker marks a program as control-flow protected only when every
# object in it is. Ours all are; Debian 12's C start-up files (crti.o and the
# like) are not, so no program linked there is marked (/usr/bin/ls neither).
# There, that one protection is checked on our own objects instead.
if [ "$(dpkg --print-architecture)" = amd64 ] && ! readelf -n "$(g++ -print-file-name=crti.o)" | grep -q 'IBT, SHSTK'; then
  options+=(--nocfprotection)
  unmarked=$(find obj-* -name '*.o' -exec sh -c 'readelf -n "$1" | grep -q "IBT, SHSTK" || echo "$1"' _ {} \;)
  [ -z "$unmarked" ] || { echo "objects built without control-flow protection:"; echo "$unmarked"; exit 1; }
fi
# Branch protection is arm64's; newer hardening-check asks every architecture.
if [ "$(dpkg --print-architecture)" != arm64 ] && [[ $(hardening-check --help 2>&1 || true) == *--nobranchprotection* ]]; then
  options+=(--nobranchprotection)
fi
dpkg-deb -x "$deb" /tmp/unpacked
hardening-check "${options[@]}" /tmp/unpacked/usr/bin/threebody | tee /out/hardening.txt
! grep ': no' /out/hardening.txt | grep -qv '(ignored)$' || { echo "hardening-check found a protection missing"; exit 1; }

echo "== the same bytes from another folder, time zone, locale and umask, later"
elsewhere=/var/tmp/elsewhere/threebody-rebuild
mkdir -p "$elsewhere" && cp -a /src "$elsewhere/src"
(cd "$elsewhere/src" && debian/rules clean >/dev/null && umask 0002 &&
  TZ=Asia/Kathmandu LC_ALL=C.UTF-8 DEB_BUILD_OPTIONS=nocheck dpkg-buildpackage -us -uc -b -Pnocheck >/out/rebuild.log 2>&1) ||
  { tail -n 40 /out/rebuild.log; exit 1; }
sha256sum "$deb" "$elsewhere"/threebody_*.deb
cmp "$deb" "$elsewhere"/threebody_*.deb || { echo "two builds of one source gave different packages"; exit 1; }

echo "== autopkgtest"
autopkgtest --output-dir=/out/autopkgtest "$deb" /src -- null >/out/autopkgtest.log 2>&1 ||
  { tail -n 80 /out/autopkgtest.log; exit 1; }
cat /out/autopkgtest/summary

echo "== removing it"
installed=$(dpkg -L threebody)
apt-get remove -y -qq threebody >/dev/null
left=$(while IFS= read -r path; do [ ! -f "$path" ] && [ ! -L "$path" ] || echo "$path"; done <<<"$installed")
[ ! -d /usr/share/doc/threebody ] || left+=" /usr/share/doc/threebody"
[ -z "$left" ] || { echo "left behind: $left"; exit 1; }
echo "== $(basename "$deb"): built, tested, lintian-clean, hardened, rebuilt identically, autopkgtests passed, removed"
