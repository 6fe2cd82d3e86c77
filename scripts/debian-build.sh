#!/usr/bin/env bash
# Builds the Debian package in a throwaway chroot of a release, from
# debian/control's Build-Depends alone, and checks it there as Debian does:
# the suites (dh_auto_test), lintian on the .changes, hardening-check, a
# second build in another folder, time zone and locale that must give the
# same bytes, the autopkgtests of the installed package, and its removal.
#   scripts/debian-build.sh                 this machine's release
#   scripts/debian-build.sh trixie          another release (forky: testing)
#   scripts/debian-build.sh -a arm64 [SUITE]  cross-built as Debian does
#                                           (dpkg-buildpackage -a), lintian,
#                                           and its window under qemu-user
# The packages and logs land in build/debian-SUITE[-ARCH]. The chroot is made
# with mmdebstrap and removed afterwards; this machine's dpkg and apt are
# left alone. Needs root.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/tools.sh

arch=""
if [ "${1:-}" = -a ]; then
  arch=${2:?usage: debian-build.sh [-a ARCH] [SUITE]}
  shift 2
fi
suite=${1:-$(. /etc/os-release && echo "$VERSION_CODENAME")}
[ "$(id -u)" -eq 0 ] || { echo "debian-build.sh: needs root (mmdebstrap's chroot)" >&2; exit 2; }
command -v mmdebstrap >/dev/null || apt_install install "${host_tools[@]}"

# The Debian mirror this machine uses.
mirror=$(cat /etc/apt/sources.list.d/*.sources /etc/apt/sources.list 2>/dev/null |
  sed -n -e 's/^URIs:[[:space:]]*\([^[:space:]]*\).*/\1/p' -e 's/^deb[[:space:]]\+\(\[[^]]*\][[:space:]]*\)\?\([^[:space:]]*\).*/\2/p' |
  grep -v security | head -n 1 || true)
mirror=${mirror:-http://deb.debian.org/debian}

out=$PWD/build/debian-$suite${arch:+-$arch}
rm -rf "$out"
mkdir -p "$out"
native=$(dpkg --print-architecture)
start=$SECONDS
# The tracked and new files as they are now. testing's Release file may be
# past its expiry date on a mirror's copy.
mmdebstrap --quiet --variant=buildd --architectures="$native${arch:+,$arch}" \
  --aptopt='Acquire::Check-Valid-Until "false"' \
  --customize-hook='mkdir "$1/src"' \
  --customize-hook='git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf - | tar -xf - -C "$1/src"' \
  --customize-hook="chroot \"\$1\" /src/scripts/debian-build-inside.sh $arch" \
  --customize-hook="cp -r \"\$1/out/.\" \"$out/\"" \
  "$suite" /dev/null "$mirror"
echo "debian-build.sh: $suite${arch:+ $arch} built and checked in $((SECONDS - start)) s; packages in ${out#"$PWD"/}"
