#!/usr/bin/env bash
# Runs stages of the test command in a bare Debian of another release, as a
# new user's machine of that release starts: a minimal root file system made
# here with mmdebstrap (build/root-SUITE, made anew each time), a clone of
# this repository's HEAD inside, and scripts/test.sh run there as root.
#   scripts/release-test.sh trixie                  release and package stages
#   scripts/release-test.sh forky release sanitize  the stages named
# Needs root (chroot and mounts).
set -euo pipefail
cd "$(dirname "$0")/.."

suite=${1:?usage: release-test.sh SUITE [stage...]}
shift
stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=(release package)
[ "$(id -u)" -eq 0 ] || { echo "release-test.sh: needs root (chroot)" >&2; exit 2; }

scripts/install-deps.sh cross mmdebstrap >/dev/null

# The Debian mirror this machine uses.
mirror=$(cat /etc/apt/sources.list.d/*.sources /etc/apt/sources.list 2>/dev/null |
  sed -n -e 's/^URIs:[[:space:]]*\([^[:space:]]*\).*/\1/p' -e 's/^deb[[:space:]]\+\(\[[^]]*\][[:space:]]*\)\?\([^[:space:]]*\).*/\2/p' |
  grep -v security | head -n 1 || true)
mirror=${mirror:-http://deb.debian.org/debian}

root=$PWD/build/root-$suite
unmount() {
  local m
  for m in dev/pts dev sys proc; do umount -l "$root/$m" 2>/dev/null || true; done
}
unmount
if grep -q " $root/" /proc/mounts; then
  echo "release-test.sh: something is still mounted under $root; not removing it" >&2
  exit 1
fi
rm -rf "$root"
trap unmount EXIT

start=$SECONDS
# testing's Release file may be past its expiry date on a mirror's copy.
mmdebstrap --quiet --variant=minbase --include=ca-certificates,git,sudo \
  --aptopt='Acquire::Check-Valid-Until "false"' "$suite" "$root" "$mirror"
cp /etc/resolv.conf "$root/etc/resolv.conf"
for m in proc sys dev dev/pts; do mount --bind "/$m" "$root/$m"; done
git clone -q "$PWD" "$root/src"
echo "release-test.sh: bare $suite made in $((SECONDS - start)) s; running scripts/test.sh ${stages[*]}"

chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
  bash -c 'cd /src && . /etc/os-release && echo "on $PRETTY_NAME" && scripts/test.sh "$@"' test "${stages[@]}"
echo "release-test.sh: $suite passed ${stages[*]} in $((SECONDS - start)) s"
