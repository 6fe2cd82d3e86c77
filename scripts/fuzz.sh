#!/usr/bin/env bash
# Builds the engine's libFuzzer target (--preset fuzz: clang, ASan, UBSan) and
# fuzzes for SECONDS (default 60; longer: scripts/fuzz.sh 3600) from the
# committed seeds. It fails when the fuzzer finds a fault or stops early.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
. scripts/tools.sh
dpkg-checkbuilddeps 2>/dev/null || apt_install build-dep ./
needs "$contributor_tools"
cmake --workflow --preset fuzz >/dev/null

# New inputs go to a scratch corpus; the committed seeds stay as they are.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/corpus"
build/fuzz/engine_fuzzer -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
  -artifact_prefix="$PWD/build/fuzz/" "$work/corpus" fuzz/seeds >"$work/log" 2>&1 ||
  { tail -n 60 "$work/log"; die "engine_fuzzer failed"; }
grep -E '^(INFO: seed corpus|Done|stat::)' "$work/log" || true
ran=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$work/log")
[ "${ran:-0}" -ge "$seconds" ] || die "engine_fuzzer stopped after ${ran:-no} seconds, not $seconds"
