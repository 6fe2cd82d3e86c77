#!/usr/bin/env bash
# Installs what building and running need (debian/control's Build-Depends
# without the tests' own: the nocheck profile), builds the optimised
# program and starts it. Arguments go to the program (the toolkit's options).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/tools.sh

dpkg-checkbuilddeps -P nocheck 2>/dev/null || apt_install build-dep --build-profiles=nocheck ./
cmake --preset release -DBUILD_TESTING=OFF -DTHREEBODY_BUILD_BENCH=OFF >/dev/null
cmake --build --preset release --target threebody
exec build/release/threebody "$@"
