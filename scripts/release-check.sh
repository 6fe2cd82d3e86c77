#!/usr/bin/env bash
# The release check: the source package; on each release (Debian 12 and 13 by default) sbuild's package with its
# suites, lintian, piuparts, autopkgtests, blhc, hardening-check, reprotest; the other architectures' engine
# suites, the arm64 package and its window.   scripts/release-check.sh [SUITE...] (as root)
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/tools.sh
architectures=(arm64 armhf i386 ppc64el riscv64 s390x)  # the other architectures, named here only
[ "$(id -u)" -eq 0 ] || die "needs root (schroot chroots, mounts)"
tools() {
  needs "$release_tools"
  needs "$(for a in "${architectures[@]}"; do echo "g++-$(dpkg-architecture -a "$a" -qDEB_HOST_GNU_TYPE 2>/dev/null), "; done)
    cmake, ninja-build, libgtest-dev"
}
mkdir -p build && rm -f build/release-check-*.log
report_installs tools
cross() {  # the engine's suites for each other architecture, under qemu-user
  for a in "${architectures[@]}"; do
    local start=$SECONDS
    THREEBODY_CROSS_ARCH=$a cmake --workflow --preset cross --fresh >"build/cross-$a.log" 2>&1 ||
      { tail -n 60 "build/cross-$a.log"; die "cross: $a failed"; }
    same_tests "build/cross-$a.log" cross "$a"
    echo "== cross: $a in $((SECONDS - start)) s"
  done
}
suites=("$@") && [ $# -gt 0 ] || suites=(bookworm trixie)
arch=$(dpkg --print-architecture)
mirror=$(cat /etc/apt/sources.list.d/*.sources /etc/apt/sources.list 2>/dev/null | sed -n 's/^URIs:[[:space:]]*\([^[:space:]]*\).*/\1/p;
  s/^deb[[:space:]]\+\(\[[^]]*\][[:space:]]*\)\?\([^[:space:]]*\).*/\2/p' | grep -v security | head -n 1 || true)
[ -n "$mirror" ] || die "no Debian mirror in apt's sources"
work=$(mktemp -d /var/tmp/release-check.XXXXXX)
name=threebody-release-check-${work##*.}  # this run's chroots: SUITE appended
stages=()  # each a job in a process group of its own (set -m): it and all it started
cleanup() {
  set +e  # every step, whatever the one before did
  for pid in "${stages[@]}" ${proxy:-}; do kill -- "-$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  schroot -l --all-sessions 2>/dev/null | sed -n "s/^session:\($name-\)/\1/p" | xargs -r -n 1 schroot -e -c
  rm -f "/etc/schroot/chroot.d/$name"-*
  [ -z "${hosts_line:-}" ] || { grep -vxF "$hosts_line" /etc/hosts >"$work/hosts"; [ -s "$work/hosts" ] && cat "$work/hosts" >/etc/hosts || rm /etc/hosts; }
  rm -rf --one-file-system "$work"
}
trap cleanup EXIT

# The orig tarball is the tree without debian/ at its commit (uncommitted
# changes to tracked files included): git archive, named for the newest release.
distribution=$(dpkg-parsechangelog -S Distribution)  # where an upload goes; the chroot is the release
version=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' data/org.threebody.Simulator.metainfo.xml | head -n 1)
tree=$(git stash create) && tree=${tree:-HEAD}
git archive --prefix="threebody-$version/" -o "$work/threebody_$version.orig.tar.gz" "$tree" -- . ':!debian'
tar -xzf "$work/threebody_$version.orig.tar.gz" -C "$work"
git archive "$tree" debian | tar -xf - -C "$work/threebody-$version"
(cd "$work/threebody-$version" && dpkg-buildpackage -S -us -uc -d -nc >../source.log 2>&1) || { cat "$work/source.log"; die "no source package"; }
lintian_options="--pedantic --fail-on error,warning,pedantic --tag-display-limit 0"
# shellcheck disable=SC2086
lintian $lintian_options "$work"/threebody_*_source.changes || die "lintian: the source package"
source_files=("$work/threebody_$version.orig.tar.gz" "$work"/threebody_*.dsc "$work"/threebody_*.debian.tar.*)
echo "the source package: $(basename "${source_files[1]}"), lintian-clean"

# One minbase base a release (apt lists kept, dpkg without fsync: it is thrown away) for every schroot
# session, each with its own /build and apt cache, its apt fetching through the proxy, and for piuparts.
chroot_for() {  # SUITE
  local base=$work/$1.tar
  mmdebstrap --quiet --variant=minbase --skip=cleanup/apt/lists --aptopt='Acquire::Check-Valid-Until "false"' \
    --customize-hook="echo 'Acquire::http::Proxy \"http://127.0.0.1:$port\";' >\"\$1/etc/apt/apt.conf.d/01proxy\"" \
    --dpkgopt=force-unsafe-io "$1" "$base" "$mirror"
  gzip -1 -c "$base" >"$base.gz"  # piuparts reads only gzip
  # schroot reads the fstab path from /etc/schroot.
  printf '[%s]\ntype=file\nfile=%s\nroot-groups=root\nprofile=sbuild\nsetup.fstab=../..%s\n' \
    "$name-$1" "$base" "$work/fstab" >"/etc/schroot/chroot.d/$name-$1"
}
# apt-cacher-ng, Debian's caching proxy, in a session of its own: each package from the mirror once a run.
start_proxy() {
  proxy_session=$(schroot -b -c "$name-${suites[0]}")
  schroot -r -c "$proxy_session" -d / -- sh -ec 'printf "#!/bin/sh\nexit 101\n" >/usr/sbin/policy-rc.d && chmod +x /usr/sbin/policy-rc.d
    apt-get install -y -qq -o Acquire::http::Proxy=DIRECT --no-install-recommends apt-cacher-ng >/dev/null'
  schroot -r -c "$proxy_session" -d / -- apt-cacher-ng ForeGround=1 BindAddress=127.0.0.1 Port="$port" UnbufferLogs=1 \
    >build/release-check-proxy.out 2>&1 &
  proxy=$!
  until (: </dev/tcp/127.0.0.1/"$port") 2>/dev/null; do
    kill -0 "$proxy" 2>/dev/null || { cat build/release-check-proxy.out; die "the proxy did not start on port $port"; }; sleep 1; done
}
cat >"$work/sbuildrc" <<'EOF'  # sbuild gives piuparts no PATH, and piuparts runs chroot
$lintian_require_success = 1; $piuparts_require_success = 1; $autopkgtest_require_success = 1; $autopkgtest_root_args = '';
$piuparts_root_args = ['env', 'PATH=/usr/sbin:/usr/bin:/sbin:/bin']; 1;
EOF
package() {  # SUITE [HOST-ARCH]
  local out=$PWD/build/debian-$1${2:+-$2} start=$SECONDS options=()
  rm -rf "$out" && mkdir -p "$out" && cp "${source_files[@]}" "$out/"
  if [ -n "${2:-}" ]; then
    options=(--host="$2" --profiles=nocheck --no-run-piuparts --no-run-autopkgtest)
  else
    # The same bytes from another path, time, locale, time zone, umask and more
    # (without FUSE or user namespaces, file order and host name stay).
    options=(--run-piuparts --piuparts-opts="--basetgz=$work/$1.tar.gz -d $1 --keep-sources-list --tmpdir=$work --ignore=/var/cache/debconf/tmp.ci/"
      --run-autopkgtest --autopkgtest-opts="-- schroot $name-$1"
      --finished-build-commands="cd %SBUILD_PKGBUILD_DIR && apt-get install -y -qq --no-install-recommends reprotest faketime >/dev/null && reprotest --vary=-fileordering,-domain_host,-user_group --build-command='DEB_BUILD_OPTIONS=nocheck dpkg-buildpackage -us -uc -b -Pnocheck' . '../*.deb'")
  fi
  SBUILD_CONFIG=$work/sbuildrc sbuild --chroot-mode=schroot --chroot="$name-$1" --dist="$distribution" --build-dir="$out" --nolog \
    --run-lintian --lintian-opts="$lintian_options" "${options[@]}" "$out"/threebody_*.dsc >"$out/sbuild.log" 2>&1 ||
    { tail -n 80 "$out/sbuild.log"; die "sbuild: $1${2:+ $2} failed; its log is build/debian-$1${2:+-$2}/sbuild.log"; }
  deb=$(ls "$out"/threebody_*_"${2:-$arch}".deb)
  dpkg-deb -f "$deb" Architecture Depends Recommends
  if [ -n "${2:-}" ]; then window "$1" "$2" "$deb"; else checks "$1" "$out" "$deb"; fi
  echo "== $1${2:+ $2}: built and checked in $((SECONDS - start)) s"
}
checks() {  # SUITE OUT DEB: the build log's flags, the program's hardening, the suites that ran
  blhc "$2/sbuild.log" || die "blhc: the build log of $1"
  local unpacked=$work/unpacked-$1 options=(--nofortify)  # blhc reads fortification from the compile lines
  dpkg-deb -x "$3" "$unpacked"
  # An x86 program is marked control-flow protected only when the C library's
  # start-up files are too, and Debian 12's are not: debian/rules checks ours.
  [[ $arch != @(amd64|i386) ]] || options+=(--nocfprotection)
  [[ $(hardening-check --help 2>&1 || true) != *--nobranchprotection* ]] || options+=(--nobranchprotection)  # arm64's
  hardening-check "${options[@]}" "$unpacked/usr/bin/threebody" || die "hardening-check: $1"
  same_tests "$2/sbuild.log" package "$arch"
  grep -E '^(Lintian|Piuparts|Autopkgtest): ' "$2/sbuild.log" | tr '\n' ' ' && echo
  grep -q "^Reproduction successful" "$2/sbuild.log" || die "reprotest: $1"
}
window() {  # SUITE ARCH DEB: the cross-built program's window, under qemu-user in Xvfb
  local session status=0
  session=$(schroot -b -c "$name-$1")
  tar -cf - tests/e2e scripts/qemu-user -C "$(dirname "$3")" "$(basename "$3")" | schroot -r -c "$session" -d /root -- tar -xf - &&
    schroot -r -c "$session" -d /root -- sh -ec "dpkg --add-architecture $2; apt-get update -qq
      apt-get install -y -qq --no-install-recommends ./$(basename "$3") dpkg-dev python3 python3-xlib xvfb qemu-user >/dev/null
      python3 tests/e2e/e2e_test.py --wrapper 'scripts/qemu-user $2' Window" || status=$?
  schroot -e -c "$session"
  [ "$status" -eq 0 ] || die "the $2 program's window"
}
port=3142 && while (: </dev/tcp/127.0.0.1/"$port") 2>/dev/null; do port=$((port + 1)); done  # or the next free one
# schroot's PAM looks this machine's name up at every call: through DNS, one lost packet costs the 5 s
# that autopkgtest gives a testbed to answer. Named in /etc/hosts for the run, as an installed Debian names it.
getent -s files hosts "$(hostname)" >/dev/null || { hosts_line="127.0.1.1 $(hostname)  # $name" && echo "$hosts_line" >>/etc/hosts; }
printf '%s\n' '/proc /proc none rw,bind 0 0' '/sys /sys none rw,bind 0 0' '/dev/pts /dev/pts none rw,bind 0 0' \
  'tmpfs /dev/shm tmpfs defaults 0 0' >"$work/fstab"
set -m
for suite in "${suites[@]}"; do chroot_for "$suite" & stages+=($!); done  # side by side: they share nothing
for pid in "${stages[@]}"; do wait "$pid" || die "no base for each release (above)"; done && stages=()
start_proxy
# Two lines of stages side by side, sharing nothing but the proxy: the releases'
# packages one after the other; the other architectures' suites, then the arm64 package.
for suite in "${suites[@]}"; do package "$suite"; done >build/release-check-packages.log 2>&1 & stages+=($!)
(cross; package "${suites[0]}" arm64) >build/release-check-cross.log 2>&1 & stages+=($!)
# The first stage to fail stops the check; cleanup ends the others.
while [ "${#stages[@]}" -gt 0 ]; do
  status=0 && wait -n -p finished "${stages[@]}" || status=$?
  for i in "${!stages[@]}"; do [ "${stages[i]}" != "${finished:-}" ] || unset 'stages[i]'; done
  [ "$status" -eq 0 ] || { cat build/release-check-*.log; die "a stage failed (above)"; }
done
cat build/release-check-*.log
for a in "${architectures[@]}"; do grep -q "^== cross: $a in " build/release-check-cross.log || die "the cross stage did not run $a"; done
schroot -r -c "$proxy_session" -d / -- cat /var/log/apt-cacher-ng/apt-cacher.log | awk -F'|' '$2 == "I" { i += $3 } $2 == "O" { o += $3 }
  END { printf "the proxy fetched %.0f MB from the mirror and served %.0f MB to the sessions\n", i / 1e6, o / 1e6 }'
echo "== the release check: $SECONDS s"
