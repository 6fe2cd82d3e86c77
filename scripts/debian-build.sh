#!/usr/bin/env bash
# Builds the Debian package in a throwaway chroot of a release from
# debian/control's Build-Depends alone, and checks it there with Debian's own
# tools (scripts/debian-build-inside.sh): the suites, lintian --pedantic,
# blhc, hardening-check and reprotest; then here, each autopkgtest in a clean
# minbase testbed of the release, and piuparts.
#   scripts/debian-build.sh [SUITE]           this machine's release, or another
#   scripts/debian-build.sh -a ARCH [SUITE]   cross-built (dpkg-buildpackage -a),
#                                             lintian, its window under qemu-user
# Packages and logs land in build/debian-SUITE[-ARCH]. Needs root: mmdebstrap
# makes and mounts the chroot; this machine's dpkg and apt stay as they are.
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
# The tracked and new files as they are now. testing's Release file may be
# past its expiry date on a mirror's copy.
mmdebstrap --quiet --variant=buildd --architectures="$arch${cross:+,$cross}" \
  --aptopt='Acquire::Check-Valid-Until "false"' \
  --customize-hook='mkdir "$1/src"' \
  --customize-hook='git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf - | tar -xf - -C "$1/src"' \
  --customize-hook="chroot \"\$1\" /src/scripts/debian-build-inside.sh $cross; echo \$? >\"$out/status\"" \
  --customize-hook="cp -r \"\$1/out/.\" \"$out/\" 2>/dev/null || true" \
  "$suite" /dev/null "$mirror"
# What was built and logged is kept, failed or not.
[ "$(cat "$out/status")" = 0 ] || { echo "debian-build.sh: $name failed; its logs are in ${out#"$PWD"/}"; exit 1; }

if [ -z "$cross" ]; then
  base=$(mktemp -d)
  # --one-file-system: should a mount be left behind, nothing beneath it goes.
  trap 'umount -R "$base"/testbed-*/{proc,sys,dev} 2>/dev/null; rm -rf --one-file-system "$base"' EXIT
  mmdebstrap --quiet --variant=minbase --aptopt='Acquire::Check-Valid-Until "false"' \
    "$suite" "$base/base.tar.gz" "$mirror"

  echo "== autopkgtest: each test in a fresh minbase $suite testbed: the package and the test's Depends"
  mkdir "$base/src" && git ls-files -z --cached --others --exclude-standard | tar --null -T - -cf - | tar -xf - -C "$base/src"
  for test in $(sed -n 's/^Tests: //p' debian/tests/control); do
    testbed=$base/testbed-$test
    mkdir "$testbed" && tar -xzf "$base/base.tar.gz" -C "$testbed"
    for dir in proc sys dev dev/pts; do mount --bind "/$dir" "$testbed/$dir"; done
    cp /etc/resolv.conf "$testbed/etc/"
    status=0
    autopkgtest --apt-upgrade --test-name="$test" --output-dir="$out/autopkgtest-$test" "$out"/threebody_*_"$arch".deb \
      "$base/src" -- chroot "$testbed" >"$out/autopkgtest-$test.log" 2>&1 || status=$?
    # 8: a superficial test was the only one run, which autopkgtest tells apart.
    if [[ $status != [08] ]] || ! grep -E "^$test +PASS" "$out/autopkgtest-$test/summary"; then
      tail -n 80 "$out/autopkgtest-$test.log"; echo "autopkgtest $test failed"; exit 1
    fi
    umount -R "$testbed"/{proc,sys,dev}
  done

  echo "== piuparts: installed, removed and purged in a clean $suite chroot"
  # From Debian 13 on, apt preconfigures packages through debconf, which leaves
  # its empty tmp.ci folder behind; newer piuparts ignore it on their own.
  piuparts --basetgz="$base/base.tar.gz" --distribution="$suite" --mirror="$mirror main" \
    --ignore=/var/cache/debconf/tmp.ci/ --tmpdir="$base" "$out"/threebody_*_"$arch".deb >"$out/piuparts.log" 2>&1 ||
    { tail -n 60 "$out/piuparts.log"; echo "piuparts failed"; exit 1; }
  grep -m 1 -F "PASS: All tests." "$out/piuparts.log" || true
fi
echo "debian-build.sh: $name built and checked in $((SECONDS - start)) s; packages in ${out#"$PWD"/}"
