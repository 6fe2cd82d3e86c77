#!/usr/bin/env bash
# Installs debian/control's Build-Depends and the tools in scripts/tools.sh,
# then runs the stages named (all by default), failing on any failure:
#   release   the optimised build and all suites  (cmake --workflow --preset release)
#   sanitize  the same under AddressSanitizer and UndefinedBehaviorSanitizer
#   fuzz      the engine's libFuzzer target for a minute
#   package   the Debian package built and checked in a clean chroot of this
#             release (scripts/debian-build.sh)
#   cross     the engine's suites for the other architectures under qemu-user,
#             and the arm64 package cross-built, with its window
# At the end it checks that dpkg's architectures and apt's sources are unchanged.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/tools.sh

machine_configuration() {
  dpkg --print-foreign-architectures
  { cat /etc/apt/sources.list /etc/apt/sources.list.d/* 2>/dev/null || true; } | sha256sum
}
configuration=$(machine_configuration)

stages=("$@")
[ $# -gt 0 ] || stages=(release sanitize fuzz package cross)
for stage in "${stages[@]}"; do
  [[ $stage =~ ^(release|sanitize|fuzz|package|cross)$ ]] ||
    { echo "test.sh: unknown stage '$stage' (release, sanitize, fuzz, package or cross)" >&2; exit 2; }
done

dpkg-checkbuilddeps 2>/dev/null || apt_install build-dep ./
# Named once build-dep has brought dpkg-architecture.
mapfile -t architectures < <(cross_architectures)
tools=("${host_tools[@]}")
for arch in "${architectures[@]}"; do tools+=("$(cross_compiler "$arch")"); done
installed=$(dpkg-query -W -f='${db:Status-Abbrev}\n' "${tools[@]}" 2>/dev/null | grep -c '^ii' || true)
[ "$installed" -eq "${#tools[@]}" ] || apt_install install "${tools[@]}"

export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)} CTEST_PARALLEL_LEVEL=${CTEST_PARALLEL_LEVEL:-$(nproc)}
workflow() { cmake --workflow --preset "$1" --fresh | { grep -vE '^(-- |  [A-Z_]+=|Preset CMake|$)' || true; }; }
release() { workflow release; }
sanitize() { workflow sanitize; }
fuzz() { scripts/fuzz.sh 60; }
package() { scripts/debian-build.sh; }
cross() {
  for arch in "${architectures[@]}"; do
    start=$SECONDS
    workflow "cross-$arch"
    echo "$arch took $((SECONDS - start)) s"
  done
  scripts/debian-build.sh -a arm64
}

for stage in "${stages[@]}"; do
  echo "== $stage =="
  start=$SECONDS
  "$stage"
  echo "== $stage took $((SECONDS - start)) s =="
done
[ "$(machine_configuration)" = "$configuration" ] || { echo "test.sh changed dpkg's architectures or apt's sources"; exit 1; }
