#!/usr/bin/env bash
# Builds the Debian package: build/package/threebody_<version>_<arch>.deb.
# File times inside come from the last commit, so that the same commit
# gives the same package byte for byte, wherever and whenever it is built.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh package
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export SOURCE_DATE_EPOCH
cmake -S . -B build/package -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DTHREEBODY_BUILD_TESTS=OFF -DTHREEBODY_BUILD_BENCH=OFF >/dev/null
cmake --build build/package -j "$(nproc)"
(cd build/package && cpack -G DEB)
