#!/usr/bin/env bash
# Builds and runs the whole test suite twice: optimised, then under
# AddressSanitizer and UndefinedBehaviorSanitizer; then fuzzes the engine
# for a minute; builds, checks, installs, starts and removes the Debian
# package; and runs the engine's suites for arm64, ppc64el, s390x and i386
# under qemu (adding arm64 to dpkg's architectures for the arm64 program).
# Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test

jobs=$(nproc)

echo "== optimised build =="
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DTHREEBODY_BUILD_TESTS=ON -DTHREEBODY_BUILD_BENCH=ON >/dev/null
cmake --build build/release -j "$jobs"
ctest --test-dir build/release --output-on-failure -j "$jobs"

echo "== sanitizer build =="
cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTHREEBODY_SANITIZE=ON -DTHREEBODY_BUILD_TESTS=ON -DTHREEBODY_BUILD_BENCH=OFF >/dev/null
cmake --build build/sanitize -j "$jobs"
ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 \
LSAN_OPTIONS=suppressions="$PWD/tests/lsan.supp" \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir build/sanitize --output-on-failure -j "$jobs"

echo "== fuzzing the engine =="
scripts/fuzz.sh 60

echo "== the Debian package =="
scripts/package-test.sh

echo "== other architectures, under qemu =="
for arch in arm64 ppc64el s390x i386; do
  start=$SECONDS
  scripts/cross-test.sh "$arch"
  echo "$arch took $((SECONDS - start)) s"
done
