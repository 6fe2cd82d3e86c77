#!/usr/bin/env bash
# Installs what building and running need (apt-get, as root or through sudo): debian/control's
# Build-Depends but debhelper and the tests' own, and the package's Depends and Recommends. Then
# builds the optimised program into build/release and starts it, with the arguments given.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/tools.sh
command -v apt-get >/dev/null ||
  die "installs with Debian's apt-get; here, install CMake 3.25 or later, a C++17 compiler" \
    "and Qt 6 Widgets with its SVG image plugin, then:" \
    "cmake -S . -B build -DBUILD_TESTING=OFF && cmake --build build && build/threebody"
mkdir -p build && report_installs needs "$(build_depends), $(runtime_depends)"
echo "run.sh: building build/release/threebody"
cmake --preset release -DBUILD_TESTING=OFF -DTHREEBODY_BUILD_BENCH=OFF >/dev/null
cmake --build --preset release --target threebody
echo "run.sh: starting build/release/threebody;" \
  "to install it with its manual page: sudo cmake --install build/release"
exec "$PWD/build/release/threebody" "$@"
