#!/usr/bin/env bash
# Takes docs/screenshot.png of the real program's start-up window under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release --target threebody -j "$(nproc)"

xvfb-run -a -s "-screen 0 1400x1000x24" bash -c '
  build/release/threebody &
  pid=$!
  window=$(timeout 60 xdotool search --sync --name "^3 Body Problem Application$" | head -n 1)
  sleep 1
  import -window "$window" docs/screenshot.png
  kill "$pid"
'
echo "wrote docs/screenshot.png"
