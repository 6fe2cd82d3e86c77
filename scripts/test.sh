#!/usr/bin/env bash
# The contributor's test command: installs what the suites need (apt-get, as
# root or through sudo), then runs the stages named (all by default):
#   release   the optimised build (GCC) and every suite, end-to-end included
#   sanitize  the compiled suites built with Clang under ASan and UBSan
#   fuzz      the engine's libFuzzer target for a minute (scripts/fuzz.sh)
# Each suite must pass exactly the tests that tests/expected-tests.txt names
# for it; at the end, dpkg's architectures and apt's sources must be as they were.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/tools.sh
stages=("$@")
[ $# -gt 0 ] || stages=(release sanitize fuzz)
for stage in "${stages[@]}"; do
  [[ $stage == @(release|sanitize|fuzz) ]] || die "unknown stage '$stage' (release sanitize fuzz)"
done
machine_configuration() {
  dpkg --print-foreign-architectures
  find /etc/apt \( -name sources.list -o -path '/etc/apt/sources.list.d/*' \) -type f \
    -exec sha256sum {} + | sort
}
configuration=$(machine_configuration)
mkdir -p build
tools() {
  dpkg-checkbuilddeps 2>/dev/null || apt_install build-dep ./
  needs "$e2e_tools, $(runtime_depends), $contributor_tools"
}
report_installs tools

export THREEBODY_REQUIRE_ALL_TESTS=1  # every test tool is installed here
arch=$(dpkg --print-architecture)
# A workflow, and the tests that passed in it.   workflow PRESET CONFIGURATION
workflow() {
  local log=build/$1.log
  cmake --workflow --preset "$1" --fresh >"$log" 2>&1 ||
    { grep -vE '^(-- |  [A-Z_]+=|$)' "$log"; die "$1 failed"; }
  grep -E 'tests passed|Tests left out|Total Test time' "$log"
  same_tests "$log" "$2" "$arch"
}
release() {
  workflow release release
  # The gate itself, on this real log: a list that lacks a test that ran must fail it.
  sed '/^engine_run_test /d' tests/expected-tests.txt >build/expected-less.txt
  ! (same_tests build/release.log release "$arch" build/expected-less.txt) 2>/dev/null ||
    die "the expected-tests gate passed a list that lacks engine_run_test"
}
sanitize() { workflow sanitize sanitize; }
fuzz() { scripts/fuzz.sh 60; }
for stage in "${stages[@]}"; do
  echo "== $stage =="
  start=$SECONDS
  "$stage"
  echo "== $stage took $((SECONDS - start)) s =="
done
[ "$(machine_configuration)" = "$configuration" ] ||
  die "dpkg's architectures or apt's sources changed"
