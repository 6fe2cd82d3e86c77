#!/usr/bin/env bash
# Installs what building and running need, builds the optimised program
# and starts it. Arguments go to the program (the toolkit's options).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh run
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DTHREEBODY_BUILD_TESTS=OFF -DTHREEBODY_BUILD_BENCH=OFF >/dev/null
cmake --build build/release --target threebody -j "$(nproc)"
exec build/release/threebody "$@"
