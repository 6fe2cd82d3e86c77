#!/usr/bin/env bash
# Takes the README's pictures of the real program under Xvfb: the start-up window
# (docs/scheme-midpoint.png), then Euler and fourth order (docs/scheme-{euler,rk4}.png), each with
# xp3 2 typed (the form shows the start-up run's 1.99848, shifted) and "update".
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/tools.sh
needs "$(build_depends), $(runtime_depends), $screenshot_tools"
cmake --preset release -DBUILD_TESTING=OFF -DTHREEBODY_BUILD_BENCH=OFF >/dev/null
cmake --build --preset release --target threebody
# At start-up the scheme box has the focus: Down picks the next scheme, two Tabs reach xp3, two
# more "update", and space presses it.
xvfb-run -a -s "-screen 0 1400x1000x24" bash -s <<'EOF'
  set -e; build/release/threebody & pid=$!
  window=$(timeout 60 xdotool search --sync --name "^3 Body Problem Application$" | head -n 1)
  xdotool windowfocus --sync "$window" && sleep 1
  import -window "$window" docs/scheme-midpoint.png
  for scheme in euler rk4; do
    xdotool key --window "$window" Down Tab Tab ctrl+a 2 Tab Tab space \
      shift+Tab shift+Tab shift+Tab shift+Tab
    sleep 2 && import -window "$window" "docs/scheme-$scheme.png"
  done
  kill "$pid"
EOF
echo "wrote docs/scheme-{midpoint,euler,rk4}.png"
