#!/usr/bin/env bash
# Builds and runs the whole test suite twice: optimised, then under
# AddressSanitizer and UndefinedBehaviorSanitizer; then fuzzes the engine
# for a minute; builds, checks, installs, starts and removes the Debian
# package; and runs the engine's suites for arm64, ppc64el, s390x and i386
# under qemu. Exits non-zero on any failure.
#   scripts/test.sh                 every stage
#   scripts/test.sh release package only the stages named (release,
#                                   sanitize, fuzz, package, cross)
# It installs the packages that the README lists and changes nothing else
# on the machine: no foreign architecture, no apt source.
set -euo pipefail
cd "$(dirname "$0")/.."

# What the command must leave as it found it.
machine_configuration() {
  dpkg --print-foreign-architectures
  { cat /etc/apt/sources.list /etc/apt/sources.list.d/* 2>/dev/null || true; } | sha256sum
}
configuration=$(machine_configuration)

stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=(release sanitize fuzz package cross)

scripts/install-deps.sh test

jobs=$(nproc)

release() {
  cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTHREEBODY_BUILD_TESTS=ON -DTHREEBODY_BUILD_BENCH=ON >/dev/null
  cmake --build build/release -j "$jobs"
  ctest --test-dir build/release --output-on-failure -j "$jobs"
}

sanitize() {
  cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTHREEBODY_SANITIZE=ON -DTHREEBODY_BUILD_TESTS=ON -DTHREEBODY_BUILD_BENCH=OFF >/dev/null
  cmake --build build/sanitize -j "$jobs"
  ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 \
  LSAN_OPTIONS=suppressions="$PWD/tests/lsan.supp" \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    ctest --test-dir build/sanitize --output-on-failure -j "$jobs"
}

fuzz() { scripts/fuzz.sh 60; }

# The package test starts the installed program with the optimised build's
# window test.
package() {
  [ -x build/release/tests/e2e_window_test ] || release
  scripts/package-test.sh
}

cross() {
  for arch in arm64 ppc64el s390x i386; do
    local start=$SECONDS
    scripts/cross-test.sh "$arch"
    echo "$arch took $((SECONDS - start)) s"
  done
}

for stage in "${stages[@]}"; do
  case "$stage" in
  release | sanitize | fuzz | package | cross) ;;
  *) echo "test.sh: unknown stage '$stage' (release, sanitize, fuzz, package or cross)" >&2; exit 2 ;;
  esac
done
for stage in "${stages[@]}"; do
  echo "== $stage =="
  start=$SECONDS
  "$stage"
  echo "== $stage took $((SECONDS - start)) s =="
done
if [ "$(machine_configuration)" != "$configuration" ]; then
  echo "test.sh changed dpkg's architectures or apt's sources"
  exit 1
fi
