#!/usr/bin/env bash
# Installs debian/control's Build-Depends and the tools in scripts/tools.sh,
# then runs the stages named (all by default), stopping at the first failure:
#   release   the optimised build and all suites (cmake --workflow --preset release)
#   sanitize  the same built with Clang, under ASan and UBSan
#   fuzz      the engine's libFuzzer target for a minute
#   package   the Debian package built and checked (scripts/debian-build.sh)
#   cross     the engine's suites for the other architectures under qemu-user,
#             and the arm64 package cross-built, with its window
# --plan [STAGE...] names the stages it would run, and runs none. Each suite
# must pass exactly the tests that tests/expected-tests.txt names for it; at
# the end, dpkg's architectures and apt's sources must be as they were.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/tools.sh

all_stages=(release sanitize fuzz package cross)
plan=false
[ "${1:-}" != --plan ] || { plan=true; shift; }
stages=("$@")
[ $# -gt 0 ] || stages=("${all_stages[@]}")
for stage in "${stages[@]}"; do
  [[ " ${all_stages[*]} " == *" $stage "* ]] ||
    { echo "test.sh: unknown stage '$stage' (${all_stages[*]})" >&2; exit 2; }
done
if $plan; then echo "${stages[*]}"; exit 0; fi

export THREEBODY_REQUIRE_ALL_TESTS=1  # every test tool is installed here
machine_configuration() {
  dpkg --print-foreign-architectures
  find /etc/apt/sources.list /etc/apt/sources.list.d -type f -exec sha256sum {} + 2>/dev/null | sort || true
}
configuration=$(machine_configuration)

dpkg-checkbuilddeps 2>/dev/null || apt_install build-dep ./
tools=("${host_tools[@]}")
[[ " ${stages[*]} " != *" release "* ]] || tools+=("${bench_tools[@]}")
[[ " ${stages[*]} " != *" sanitize "* && " ${stages[*]} " != *" fuzz "* ]] || tools+=("${clang_tools[@]}")
if [[ " ${stages[*]} " == *" cross "* ]]; then
  mapfile -t architectures < <(cross_architectures)
  # Named once build-dep has brought dpkg-architecture.
  for arch in "${architectures[@]}"; do tools+=("$(cross_compiler "$arch")"); done
fi
ensure_installed "${tools[@]}"
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)} CTEST_PARALLEL_LEVEL=${CTEST_PARALLEL_LEVEL:-$(nproc)}
# A workflow, and the tests that passed in it.   workflow PRESET STAGE ARCH
workflow() {
  local log ran difference
  log=$(mktemp)
  cmake --workflow --preset "$1" --fresh >"$log" 2>&1 || { grep -vE '^(-- |  [A-Z_]+=|$)' "$log"; rm -f "$log"; return 1; }
  grep -E 'tests passed|Tests left out|Total Test time' "$log" || true
  ran=$(sed -n 's/^ *[0-9]*\/[0-9]* Test *#[0-9]*: \([^ ]*\) .* Passed .*/\1/p' "$log" | sort)
  rm -f "$log"
  difference=$({ diff <(expected_tests "$2" "$3") <(echo "$ran") || true; } | sed -n -e 's/^< /  did not pass: /p' -e 's/^> /  not expected: /p')
  [ -z "$difference" ] || { echo "test.sh: $1 did not run the tests that tests/expected-tests.txt names:"; echo "$difference"; return 1; }
}
release() { workflow release release "$(dpkg --print-architecture)"; }
sanitize() { workflow sanitize sanitize "$(dpkg --print-architecture)"; }
fuzz() { scripts/fuzz.sh 60; }
package() { scripts/debian-build.sh; }
cross() {
  [ "${#architectures[@]}" -gt 0 ] || { echo "test.sh: tests/expected-tests.txt names no cross-architectures"; return 1; }
  for arch in "${architectures[@]}"; do
    start=$SECONDS
    workflow "cross-$arch" cross "$arch"
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
