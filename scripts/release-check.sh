#!/usr/bin/env bash
# The release check: the source package, and on each release (Debian 12 and
# 13 by default) the package that sbuild builds from it with its suites,
# lintian, piuparts and autopkgtests, then blhc, hardening-check, reprotest;
# the engine's suites on the other architectures, the arm64 package and its
# window. Needs root, mounts and the network; leaves its tools installed, and
# packages and logs in build/.   scripts/release-check.sh [SUITE...]
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/tools.sh
architectures=(arm64 armhf i386 ppc64el riscv64 s390x)  # the other architectures, named here only
[ "$(id -u)" -eq 0 ] || die "needs root (schroot chroots, mounts)"
needs "$release_tools"
cross_compilers=$(for a in "${architectures[@]}"; do echo "g++-$(dpkg-architecture -a "$a" -qDEB_HOST_GNU_TYPE 2>/dev/null), "; done)
needs "$cross_compilers cmake, ninja-build, libgtest-dev"
cross() {  # the engine's suites for each other architecture, under qemu-user
  local begin=$SECONDS
  for a in "${architectures[@]}"; do
    local start=$SECONDS
    THREEBODY_CROSS_ARCH=$a cmake --workflow --preset cross --fresh >"build/cross-$a.log" 2>&1 ||
      { tail -n 60 "build/cross-$a.log"; die "cross: $a failed"; }
    same_tests "build/cross-$a.log" cross "$a"
    echo "== cross: $a in $((SECONDS - start)) s"
  done
  echo "== cross: every architecture in $((SECONDS - begin)) s"
}
suites=("$@")
[ $# -gt 0 ] || suites=(bookworm trixie)
arch=$(dpkg --print-architecture)
mirror=$(cat /etc/apt/sources.list.d/*.sources /etc/apt/sources.list 2>/dev/null | sed -n 's/^URIs:[[:space:]]*\([^[:space:]]*\).*/\1/p;
  s/^deb[[:space:]]\+\(\[[^]]*\][[:space:]]*\)\?\([^[:space:]]*\).*/\2/p' | grep -v security | head -n 1 || true)
[ -n "$mirror" ] || die "no Debian mirror in apt's sources"
work=$(mktemp -d /var/tmp/release-check.XXXXXX)
stages=()  # each a job in a process group of its own (set -m): it and all it started
cleanup() {
  set +e  # every step, whatever the one before did
  for pid in "${stages[@]}"; do kill -- "-$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  schroot -l --all-sessions 2>/dev/null | sed -n 's/^session:\(threebody-release-check-\)/\1/p' | xargs -r -n 1 schroot -e -c
  rm -f /etc/schroot/chroot.d/threebody-release-check-*
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
(cd "$work/threebody-$version" && dpkg-buildpackage -S -us -uc -d >../source.log 2>&1) || { cat "$work/source.log"; die "no source package"; }
lintian_options="--pedantic --fail-on error,warning,pedantic --tag-display-limit 0"
# shellcheck disable=SC2086
lintian $lintian_options "$work"/threebody_*_source.changes || die "lintian: the source package"
source_files=("$work/threebody_$version.orig.tar.gz" "$work"/threebody_*.dsc "$work"/threebody_*.debian.tar.*)
echo "the source package: $(basename "${source_files[1]}"), lintian-clean"

# One minbase base a release, its apt lists kept and dpkg without fsync (a
# throwaway chroot needs no crash safety), for the build chroot and testbeds
# (schroot sessions that share one apt cache) and piuparts (which unpacks it
# itself, with a pseudo-terminal space of its own, and empties apt's cache).
chroot_for() {  # SUITE
  local base=$work/$1.tar name=threebody-release-check-$1
  mmdebstrap --quiet --variant=minbase --skip=cleanup/apt/lists --aptopt='Acquire::Check-Valid-Until "false"' \
    --dpkgopt=force-unsafe-io "$1" "$base" "$mirror"
  gzip -1 -c "$base" >"$base.gz"  # piuparts reads only gzip
  mkdir -p "$work/cache-$1/partial"
  printf '%s\n' '/proc /proc none rw,bind 0 0' '/sys /sys none rw,bind 0 0' '/dev/pts /dev/pts none rw,bind 0 0' \
    'tmpfs /dev/shm tmpfs defaults 0 0' '/var/lib/sbuild/build /build none rw,bind 0 0' \
    "$work/cache-$1 /var/cache/apt/archives none rw,bind 0 0" >"$work/fstab-$1"
  # schroot reads the fstab path from /etc/schroot.
  printf '[%s]\ntype=file\nfile=%s\nroot-groups=root\nprofile=sbuild\nsetup.fstab=../..%s\n' \
    "$name" "$base" "$work/fstab-$1" >"/etc/schroot/chroot.d/$name"
}
cat >"$work/sbuildrc" <<'EOF'  # sbuild gives piuparts no PATH, and piuparts runs chroot
$lintian_require_success = 1; $piuparts_require_success = 1; $autopkgtest_require_success = 1;
$autopkgtest_root_args = ''; $apt_keep_downloaded_packages = 1;
$piuparts_root_args = ['env', 'PATH=/usr/sbin:/usr/bin:/sbin:/bin']; 1;
EOF
package() {  # SUITE [HOST-ARCH]
  local out=$PWD/build/debian-$1${2:+-$2} name=threebody-release-check-$1 start=$SECONDS options=()
  rm -rf "$out" && mkdir -p "$out" && cp "${source_files[@]}" "$out/"
  if [ -n "${2:-}" ]; then
    options=(--host="$2" --profiles=nocheck --no-run-piuparts --no-run-autopkgtest)
  else
    # The same bytes from another path, time, locale, time zone, umask and more
    # (without FUSE or user namespaces, file order and host name stay).
    options=(--run-piuparts --piuparts-opts="--basetgz=$work/$1.tar.gz -d $1 --keep-sources-list --tmpdir=$work --ignore=/var/cache/debconf/tmp.ci/"
      --run-autopkgtest --autopkgtest-opts="-- schroot $name"
      --finished-build-commands="cd %SBUILD_PKGBUILD_DIR && apt-get install -y -qq --no-install-recommends reprotest faketime >/dev/null && reprotest --vary=-fileordering,-domain_host,-user_group --build-command='DEB_BUILD_OPTIONS=nocheck dpkg-buildpackage -us -uc -b -Pnocheck' . '../*.deb'")
  fi
  SBUILD_CONFIG=$work/sbuildrc sbuild --chroot-mode=schroot --chroot="$name" --dist="$distribution" --build-dir="$out" --nolog \
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
  session=$(schroot -b -c "threebody-release-check-$1")
  tar -cf - tests/e2e scripts/qemu-user -C "$(dirname "$3")" "$(basename "$3")" | schroot -r -c "$session" -d /root -- tar -xf - &&
    schroot -r -c "$session" -d /root -- sh -ec "dpkg --add-architecture $2; apt-get update -qq
      apt-get install -y -qq --no-install-recommends ./$(basename "$3") dpkg-dev python3 python3-xlib xvfb qemu-user >/dev/null
      python3 tests/e2e/e2e_test.py --wrapper 'scripts/qemu-user $2' Window" || status=$?
  schroot -e -c "$session"
  [ "$status" -eq 0 ] || die "the $2 program's window"
}
mkdir -p build && rm -f build/release-check-*.log
for suite in "${suites[@]}"; do chroot_for "$suite"; done
# Two lines of stages side by side: the releases' packages, mostly apt and
# dpkg, one after the other (autopkgtest gives a testbed 5 s to answer); the
# other architectures' suites, mostly compiling and emulating, then the arm64
# package.
set -m
for suite in "${suites[@]}"; do package "$suite"; done >build/release-check-packages.log 2>&1 &
stages+=($!)
(cross; package "${suites[0]}" arm64) >build/release-check-cross.log 2>&1 &
stages+=($!)
# The first stage to fail stops the check; cleanup ends the others.
while [ "${#stages[@]}" -gt 0 ]; do
  status=0 && wait -n -p finished "${stages[@]}" || status=$?
  for i in "${!stages[@]}"; do [ "${stages[i]}" != "${finished:-}" ] || unset 'stages[i]'; done
  [ "$status" -eq 0 ] || { cat build/release-check-*.log; die "a stage failed (above)"; }
done
cat build/release-check-*.log
for a in "${architectures[@]}"; do grep -q "^== cross: $a in " build/release-check-cross.log || die "the cross stage did not run $a"; done
echo "== the release check: $SECONDS s"
