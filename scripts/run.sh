#!/usr/bin/env bash
# Installs what building needs (debian/control's Build-Depends without the
# tests' own: the nocheck profile) and what the package brings at run time
# (its Depends and Recommends), builds the optimised program and starts it.
# Arguments go to the program (the toolkit's options).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/tools.sh
command -v apt-get >/dev/null || { echo "run.sh installs with Debian's apt-get; here, install CMake 3.25 or later, a C++17 compiler and Qt 6 Widgets with its SVG image plugin, then: cmake -S . -B build -DBUILD_TESTING=OFF && cmake --build build && build/threebody" >&2; exit 1; }
tools() { dpkg-checkbuilddeps -P nocheck 2>/dev/null || apt_install build-dep --build-profiles=nocheck ./; needs "$(runtime_depends)"; }
mkdir -p build && report_installs tools
cmake --preset release -DBUILD_TESTING=OFF -DTHREEBODY_BUILD_BENCH=OFF >/dev/null
cmake --build --preset release --target threebody
exec build/release/threebody "$@"
