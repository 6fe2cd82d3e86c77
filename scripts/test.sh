#!/usr/bin/env bash
# The contributor's test command: installs what the suites need (apt-get, as root or through sudo),
# then runs the stages named, all by default: release (GCC's optimised build, every suite), sanitize
# (the compiled suites under Clang's ASan and UBSan), fuzz (the engine's libFuzzer target for
# THREEBODY_FUZZ_SECONDS, 60). Each suite passes exactly the tests tests/expected-tests.txt names.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/tools.sh
stages=("$@") && [ $# -gt 0 ] || stages=(release sanitize fuzz)
for s in "${stages[@]}"; do [[ $s == @(release|sanitize|fuzz) ]] || die "no stage named $s"; done
apt_configuration() { dpkg --print-foreign-architectures; cat /etc/apt/sources.list{,.d/*} || :; }
configuration=$(apt_configuration 2>/dev/null)
tools() { dpkg-checkbuilddeps 2>/dev/null || apt_install build-dep ./
  needs "$e2e_tools, $(runtime_depends), $contributor_tools"; }
mkdir -p build && report_installs tools
export THREEBODY_REQUIRE_ALL_TESTS=1  # every test tool is installed here
arch=$(dpkg --print-architecture)
workflow() {  # PRESET CONFIGURATION: the workflow, and the tests that passed in it
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
fuzz() {  # new inputs go to a scratch corpus; the committed seeds stay as they are
  local seconds=${THREEBODY_FUZZ_SECONDS:-60} log=build/fuzz.log ran
  cmake --workflow --preset fuzz --fresh >/dev/null
  rm -rf build/fuzz/corpus && mkdir build/fuzz/corpus
  build/fuzz/engine_fuzzer -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$PWD/build/fuzz/" build/fuzz/corpus fuzz/seeds >"$log" 2>&1 ||
    { tail -n 60 "$log"; die "engine_fuzzer failed"; }
  grep -E '^(INFO: seed corpus|Done|stat::)' "$log" || true
  ran=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log")
  [ "${ran:-0}" -ge "$seconds" ] || die "engine_fuzzer stopped after ${ran:-no} seconds"
}
for stage in "${stages[@]}"; do
  echo "== $stage =="; start=$SECONDS; "$stage"
  echo "== $stage took $((SECONDS - start)) s =="
done
[ "$(apt_configuration 2>/dev/null)" = "$configuration" ] ||
  die "dpkg's architectures or apt's sources changed"
