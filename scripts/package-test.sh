#!/usr/bin/env bash
# Builds the package, validates its desktop entry and AppStream metadata,
# installs it with apt-get, starts the installed program in Xvfb, and
# removes it again, checking that every file it brought is gone.
set -euo pipefail
cd "$(dirname "$0")/.."

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

scripts/package.sh >/dev/null
deb=$(ls "$PWD"/build/release/threebody_*_amd64.deb)

staging=$(mktemp -d)
cleanup() {
  rm -rf "$staging"
  if dpkg-query -W -f='${Status}' threebody 2>/dev/null | grep -q "install ok installed"; then
    $sudo apt-get remove -y -qq threebody >/dev/null
  fi
}
trap cleanup EXIT

echo "-- validating the desktop entry and the metainfo"
DESTDIR="$staging" cmake --install build/release --prefix /usr >/dev/null
desktop-file-validate "$staging"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$staging"/usr/share/metainfo/*.metainfo.xml

echo "-- installing $(basename "$deb")"
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$deb" >/dev/null
installed=$(dpkg -L threebody)
test -x /usr/bin/threebody

echo "-- starting the installed program"
build/release/tests/e2e_window_test /usr/bin/threebody \
  --gtest_filter=RealWindow.ShowsTheStartupTrajectoryAndClosesCleanly --gtest_brief=1

echo "-- removing it"
DEBIAN_FRONTEND=noninteractive $sudo apt-get remove -y -qq threebody >/dev/null
left=0
while IFS= read -r path; do
  if [ -f "$path" ] || [ -L "$path" ]; then
    echo "left behind: $path"
    left=1
  fi
done <<<"$installed"
test ! -d /usr/share/doc/threebody || { echo "left behind: /usr/share/doc/threebody"; left=1; }
[ "$left" -eq 0 ]
echo "package: built, validated, installed, started and removed"
