#!/usr/bin/env bash
# The part of debian-build.sh that runs inside its throwaway chroot, as
# root, on the source in /src; what it keeps goes to /out.
#   debian-build-inside.sh          native build and its checks
#   debian-build-inside.sh ARCH     cross-built for ARCH, and its window
set -euo pipefail
cd /src
. scripts/tools.sh
arch=${1:-}
mkdir /out
keep() { cp ../threebody_* /out/; }
. /etc/os-release
echo "== on $PRETTY_NAME${arch:+, building for $arch}"

if [ -n "$arch" ]; then
  # The host's build tools, the target's libraries: Build-Depends as
  # dpkg-buildpackage -a resolves them, and crossbuild-essential.
  apt_install install "crossbuild-essential-$arch"
  apt_install build-dep -a "$arch" --build-profiles=nocheck ./
  dpkg-buildpackage -us -uc -b -a "$arch" -Pnocheck >/out/build.log 2>&1 || { tail -n 60 /out/build.log; exit 1; }
else
  apt_install build-dep ./
  dpkg-buildpackage -us -uc -b >/out/build.log 2>&1 || { tail -n 60 /out/build.log; exit 1; }
  grep -E '^ *[0-9]+/[0-9]+ Test|tests passed' /out/build.log
fi
keep
deb=$(ls /out/threebody_*_"${arch:-$(dpkg --print-architecture)}".deb)
dpkg-deb -f "$deb" Architecture Depends Recommends

echo "== lintian"
apt_install install "${checking_tools[@]}"
# As root lintian says it would rather not run as root; that is no finding.
lintian --tag-display-limit 0 ../threebody_*.changes 2>&1 | grep -v 'running with root privileges' | tee /out/lintian.txt || true
if grep -qE '^[EW]: ' /out/lintian.txt; then
  echo "lintian found errors or warnings"
  exit 1
fi

if [ -n "$arch" ]; then
  echo "== the $arch program's window under qemu-user"
  # The host's window test drives the target's program through qemu; the
  # machine's own build dependencies give it its compiler, Xvfb and libraries.
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
if grep ': no' /out/hardening.txt | grep -qv '(ignored)$'; then
  echo "hardening-check found a protection missing"
  exit 1
fi

echo "== the same bytes from another folder, time zone and locale, later"
mkdir -p /var/tmp/elsewhere/threebody-rebuild
elsewhere=/var/tmp/elsewhere/threebody-rebuild/src
cp -a /src "$elsewhere"
(cd "$elsewhere" && debian/rules clean >/dev/null && umask 0002 &&
  TZ=Asia/Kathmandu LC_ALL=C.UTF-8 DEB_BUILD_OPTIONS=nocheck dpkg-buildpackage -us -uc -b -Pnocheck >/out/rebuild.log 2>&1) ||
  { tail -n 40 /out/rebuild.log; exit 1; }
sha256sum "$deb" /var/tmp/elsewhere/threebody-rebuild/threebody_*.deb
cmp "$deb" /var/tmp/elsewhere/threebody-rebuild/threebody_*.deb || { echo "two builds of one source gave different packages"; exit 1; }

echo "== autopkgtest"
autopkgtest --output-dir=/out/autopkgtest "$deb" /src -- null >/out/autopkgtest.log 2>&1 ||
  { tail -n 80 /out/autopkgtest.log; exit 1; }
cat /out/autopkgtest/summary
installed=$(dpkg -L threebody)

echo "== removing it"
apt-get remove -y -qq threebody >/dev/null
left=0
while IFS= read -r path; do
  if [ -f "$path" ] || [ -L "$path" ]; then echo "left behind: $path"; left=1; fi
done <<<"$installed"
[ ! -d /usr/share/doc/threebody ] || { echo "left behind: /usr/share/doc/threebody"; left=1; }
[ "$left" -eq 0 ]
echo "== $(basename "$deb"): built, tested, lintian-clean, hardened, rebuilt identically, autopkgtests passed, removed"
