#!/usr/bin/env bash
# Builds the Debian package in a throwaway chroot of a release from its
# Build-Depends alone and checks it there (scripts/debian-build-inside.sh:
# the suites, lintian, blhc, hardening-check, reprotest); then here each
# autopkgtest in a fresh minbase testbed of its own, and piuparts.
#   scripts/debian-build.sh [SUITE]           this machine's release, or another
#   scripts/debian-build.sh -a ARCH [SUITE]   cross-built, lintian, its window under qemu-user
# Packages and logs land in build/debian-SUITE[-ARCH]. Needs root; this
# machine's dpkg and apt stay as they are.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/tools.sh

cross=""
[ "${1:-}" != -a ] || { cross=${2:?usage: debian-build.sh [-a ARCH] [SUITE]}; shift 2; }
arch=$(dpkg --print-architecture)
suite=${1:-$(. /etc/os-release && echo "$VERSION_CODENAME")}
[ "$(id -u)" -eq 0 ] || { echo "debian-build.sh: needs root (mmdebstrap's chroot)" >&2; exit 2; }
ensure_installed "${host_tools[@]}"
# The Debian mirror this machine uses.
mirror=$(cat /etc/apt/sources.list.d/*.sources /etc/apt/sources.list 2>/dev/null |
  sed -n -e 's/^URIs:[[:space:]]*\([^[:space:]]*\).*/\1/p' -e 's/^deb[[:space:]]\+\(\[[^]]*\][[:space:]]*\)\?\([^[:space:]]*\).*/\2/p' |
  grep -v security | head -n 1 || true)
mirror=${mirror:-http://deb.debian.org/debian}

name=$suite${cross:+-$cross}
out=$PWD/build/debian-$name
rm -rf "$out" && mkdir -p "$out"
start=$SECONDS
work=$(mktemp -d)
# --one-file-system: should a mount be left behind, nothing beneath it goes.
trap 'umount -R "$work"/testbed-*/{proc,sys,dev} 2>/dev/null || true; rm -rf --one-file-system "$work"' EXIT
# The tracked and new files as they are now.
mkdir "$work/src" && git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf - | tar -xf - -C "$work/src"
# testing's Release file may be past its expiry date on a mirror's copy.
mmdebstrap --quiet --variant=buildd --architectures="$arch${cross:+,$cross}" \
  --aptopt='Acquire::Check-Valid-Until "false"' --customize-hook="cp -a '$work/src' \"\$1/src\"" \
  --customize-hook="chroot \"\$1\" /src/scripts/debian-build-inside.sh $cross; echo \$? >\"$out/status\"" \
  --customize-hook="cp -r \"\$1/out/.\" \"$out/\" 2>/dev/null || true" \
  "$suite" /dev/null "$mirror"
# What was built and logged is kept, failed or not.
[ "$(cat "$out/status")" = 0 ] || { echo "debian-build.sh: $name failed; its logs are in ${out#"$PWD"/}"; exit 1; }

if [ -z "$cross" ]; then
  mmdebstrap --quiet --variant=minbase --aptopt='Acquire::Check-Valid-Until "false"' \
    "$suite" "$work/base.tar.gz" "$mirror"

  echo "== autopkgtest: each test in a fresh minbase $suite testbed: the package and the test's Depends"
  for test in $(sed -n 's/^Tests: //p' debian/tests/control); do
    testbed=$work/testbed-$test
    mkdir "$testbed" && tar -xzf "$work/base.tar.gz" -C "$testbed"
    for dir in proc sys dev dev/pts; do mount --bind "/$dir" "$testbed/$dir"; done
    cp /etc/resolv.conf "$testbed/etc/"
    status=0
    autopkgtest --apt-upgrade --test-name="$test" --output-dir="$out/autopkgtest-$test" "$out"/threebody_*_"$arch".deb \
      "$work/src" -- chroot "$testbed" >"$out/autopkgtest-$test.log" 2>&1 || status=$?
    # 8: a superficial test was the only one run, which autopkgtest tells apart.
    if [[ $status != [08] ]] || ! grep -E "^$test +PASS" "$out/autopkgtest-$test/summary"; then
      tail -n 80 "$out/autopkgtest-$test.log"; echo "autopkgtest $test failed"; exit 1
    fi
    umount -R "$testbed"/{proc,sys,dev}
  done

  echo "== piuparts: installed, removed and purged in a clean $suite chroot"
  # Debian 13's apt leaves debconf's empty tmp.ci behind; newer piuparts ignore it.
  piuparts --basetgz="$work/base.tar.gz" --distribution="$suite" --mirror="$mirror main" \
    --ignore=/var/cache/debconf/tmp.ci/ --tmpdir="$work" "$out"/threebody_*_"$arch".deb >"$out/piuparts.log" 2>&1 ||
    { tail -n 60 "$out/piuparts.log"; echo "piuparts failed"; exit 1; }
  grep -m 1 -F "PASS: All tests." "$out/piuparts.log" || true
fi
echo "debian-build.sh: $name built and checked in $((SECONDS - start)) s; packages in ${out#"$PWD"/}"
