#!/usr/bin/env bash
# Builds the Debian package: build/release/threebody_<version>_amd64.deb
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j "$(nproc)"
(cd build/release && cpack -G DEB)
