#!/usr/bin/env bash
# The release check, as root:  scripts/release-check.sh [SUITE...]  (Debian 12 and 13 by default)
# In mount and PID namespaces of its own: nothing it mounts, configures or starts outlives it.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/tools.sh
architectures=(arm64 armhf i386 ppc64el riscv64 s390x)  # the other architectures, named here only
suites=("$@") && [ $# -gt 0 ] || suites=(bookworm trixie)
work=$PWD/build/release-check  # all of a run but its logs and packages in build/
native=$(dpkg --print-architecture)
lintian_options=(--pedantic --fail-on "error,warning,pedantic" --tag-display-limit 0)

# The stages in their order, in lines side by side: the other architectures' suites, and, once the
# bases are made, each release's package and the arm64 package.
main() {
  [ "$(id -u)" -eq 0 ] || die "needs root (chroots, mounts, namespaces)"
  [ -n "${release_check_inside:-}" ] || outside "$@"
  private_machine
  source_package
  declare -A lines
  cross >build/release-check-cross.log 2>&1 & lines[$!]=cross
  start_proxy
  for suite in "${suites[@]}"; do base "$suite" & bases+=($!); done
  for pid in "${bases[@]}"; do wait "$pid" || die "no base for each release (above)"; done
  for s in "${suites[@]}"; do package "$s" >"build/release-check-$s.log" 2>&1 & lines[$!]=$s; done
  package "${suites[0]}" arm64 >build/release-check-arm64.log 2>&1 & lines[$!]=arm64
  while [ "${#lines[@]}" -gt 0 ]; do  # the first line to fail ends the check, and the others
    wait -n -p pid "${!lines[@]}" || { cat build/release-check-*.log; die "a stage failed"; }
    unset "lines[$pid]"
  done
  cat build/release-check-*.log
  awk -F'|' '$2 == "I" { i += $3 } $2 == "O" { o += $3 } END {
    printf "the proxy fetched %.0f MB from the mirror and served %.0f MB\n", i / 1e6, o / 1e6 }' \
    "$work/proxy/var/log/apt-cacher-ng/apt-cacher.log"
  echo "== the release check: $SECONDS s"
}
# Its tools, then itself in its namespaces, one check at a time in a tree; its work folder goes
# when it ends, or, if it was killed, when the next one starts.
outside() {
  mkdir -p build && report_installs needs "$release_tools"  # dpkg-dev's dpkg-architecture first
  report_installs needs "$(for a in "${architectures[@]}"; do
    dpkg-architecture -a "$a" -qDEB_HOST_GNU_TYPE 2>/dev/null; done | sed 's/^/g++-/' | paste -sd,)"
  exec {lock}>build/release-check.lock
  flock -n "$lock" || { echo "release-check.sh: waits for this tree's other check"; flock "$lock"; }
  rm -rf "$work" && mkdir "$work" && status=0
  release_check_inside=1 unshare --mount --propagation private --pid --fork --kill-child \
    --mount-proc "$0" "$@" & inner=$!
  # unshare ignores them while its child runs. Its child is the namespace's first process: killed,
  # it takes the others along, and unshare returns once they are all gone (so is unshare, killed).
  trap 'pkill -KILL -P "$inner" || :; wait "$inner" || :; rm -rf "$work"; exit 143' TERM INT HUP
  wait "$inner" || status=$?
  rm -rf "$work" && exit "$status"
}
# The machine as only this check sees it: /etc under a layer, with its chroots and the machine's
# name (schroot's PAM looks it up at every call; one lost DNS packet costs the 5 s autopkgtest
# waits), and schroot's sessions and /tmp (autopkgtest writes there) in the work folder.
private_machine() {
  mount -t tmpfs -o size=75% tmpfs "$work"  # sessions unpack and drop gigabytes: in memory
  mkdir -p "$work"/{etc/upper,etc/work,tmp} "$work"/schroot/{session,mount,unpack}
  mount -t overlay overlay -o "lowerdir=/etc,upperdir=$work/etc/upper,workdir=$work/etc/work" /etc
  mount --bind "$work/schroot" /var/lib/schroot
  chmod 1777 "$work/tmp" && export TMPDIR=$work/tmp
  [[ $work == /tmp/* ]] || mount --bind "$TMPDIR" /tmp  # hiding the tree otherwise
  getent -s files hosts "$HOSTNAME" >/dev/null || printf '\n127.0.1.1 %s\n' "$HOSTNAME" >>/etc/hosts
  sed -i '\|^/var/lib/sbuild/build|d' /etc/schroot/sbuild/fstab  # a /build of its own a session
  cat >"$work/sbuildrc" <<'END'  # sbuild gives piuparts no PATH, and piuparts runs chroot
$lintian_require_success = 1; $piuparts_require_success = 1; $autopkgtest_require_success = 1;
$autopkgtest_root_args = ''; $piuparts_root_args = ['env', 'PATH=/usr/sbin:/usr/bin:/sbin:/bin'];
END
  mirror=$(apt-get indextargets --no-release-info --format "\$(REPO_URI)" | grep -v security |
    head -n 1 || true)
  [ -n "$mirror" ] || die "no Debian mirror in apt's sources"
}
# The orig tarball: the tree without debian/ at its commit (uncommitted changes to tracked
# files included), named for the newest release in the metadata.
source_package() {
  local version tree
  version=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' data/*.metainfo.xml | head -n 1)
  tree=$(git stash create) && tree=${tree:-HEAD}
  git archive --prefix="threebody-$version/" -o "$work/threebody_$version.orig.tar.gz" \
    "$tree" -- . ':!debian'
  tar -xzf "$work/threebody_$version.orig.tar.gz" -C "$work"
  git archive "$tree" debian | tar -xf - -C "$work/threebody-$version"
  (cd "$work/threebody-$version" && dpkg-buildpackage -S -us -uc -d -nc >../source.log 2>&1) ||
    { cat "$work/source.log"; die "no source package"; }
  lintian "${lintian_options[@]}" "$work"/threebody_*_source.changes || die "lintian: the source"
  source_files=("$work"/threebody_*.{orig.tar.gz,dsc,debian.*})
  echo "the source package: $(basename "${source_files[1]}"), lintian-clean"
}
cross() {  # the engine's suites for each other architecture, under qemu-user
  for a in "${architectures[@]}"; do
    local start=$SECONDS
    THREEBODY_CROSS_ARCH=$a cmake --workflow --preset cross --fresh >"build/cross-$a.log" 2>&1 ||
      { tail -n 60 "build/cross-$a.log"; die "cross: $a failed"; }
    same_tests "build/cross-$a.log" cross "$a"; echo "== cross: $a in $((SECONDS - start)) s"
  done
}
# apt-cacher-ng, so that each package comes from the mirror once a run: on port 3142, or the next
# where a process of this check listens (ss names a listener's process where this namespace sees it)
start_proxy() {
  mmdebstrap --quiet --variant=apt --include=apt-cacher-ng "${suites[0]}" "$work/proxy" "$mirror"
  for port in {3142..3199}; do
    chroot "$work/proxy" apt-cacher-ng ForeGround=1 BindAddress=127.0.0.1 Port="$port" \
      UnbufferLogs=1 >>build/release-check-proxy.out 2>&1 &
    for _ in {1..30}; do
      if ss -Hltnp "sport = :$port" | grep -q apt-cacher-ng; then return; fi
      kill -0 $! 2>/dev/null || break; sleep 1
    done
    kill $! 2>/dev/null; wait $! || true
  done
  cat build/release-check-proxy.out; die "the proxy found no port of its own"
}
# One minbase base a release, its apt through the proxy, dpkg without fsync (it is thrown away),
# for every schroot session (each with its own /build and apt cache) and for piuparts.
base() {  # SUITE
  mmdebstrap --quiet --variant=minbase --skip=cleanup/apt/lists --dpkgopt=force-unsafe-io \
    --aptopt='Acquire::Check-Valid-Until "false"' \
    --aptopt="Acquire::http::Proxy \"http://127.0.0.1:$port\"" "$1" "$work/$1.tar" "$mirror"
  gzip -1 -c "$work/$1.tar" >"$work/$1.tar.gz"  # piuparts reads only gzip
  printf '[release-check-%s]\ntype=file\nfile=%s\nroot-groups=root\nprofile=sbuild\n' "$1" \
    "$work/$1.tar" >"/etc/schroot/chroot.d/release-check-$1"
}
package() {  # SUITE [HOST-ARCH]
  local out=$PWD/build/debian-$1${2:+-$2} start=$SECONDS options deb
  rm -rf "$out" && mkdir -p "$out" && cp "${source_files[@]}" "$out/"
  options=(--host="${2:-}" --profiles=nocheck --no-run-piuparts --no-run-autopkgtest)
  [ -n "${2:-}" ] || options=(--run-piuparts --run-autopkgtest
    --autopkgtest-opts="-- schroot release-check-$1" --finished-build-commands="$reprotest"
    --piuparts-opts="--basetgz=$work/$1.tar.gz -d $1 --tmpdir=$TMPDIR --keep-sources-list \
      --ignore=/var/cache/debconf/tmp.ci/")
  SBUILD_CONFIG=$work/sbuildrc sbuild --chroot-mode=schroot --chroot="release-check-$1" \
    --dist="$(dpkg-parsechangelog -S Distribution)" --build-dir="$out" --nolog --run-lintian \
    --lintian-opts="${lintian_options[*]}" "${options[@]}" "$out"/threebody_*.dsc \
    >"$out/sbuild.log" 2>&1 || { tail -n 80 "$out/sbuild.log"; grep -E '^[[:alnum:]._]*Error: ' \
    "$out/sbuild.log" | tail -n 5; die "sbuild: $1${2:+ $2} failed; log: $out/sbuild.log"; }
  deb=$(ls "$out"/threebody_*_"${2:-$native}".deb)
  dpkg-deb -f "$deb" Architecture Depends Recommends
  if [ -n "${2:-}" ]; then window "$1" "$2" "$deb"; else checks "$1" "$out" "$deb"; fi
  echo "== $1${2:+ $2}: built and checked in $((SECONDS - start)) s"
}
# The same bytes from another path, time, locale, time zone, umask and more (file order and host
# name stay: no FUSE, no user namespaces); sbuild's packages are the control: one build more.
reprotest="cd %SBUILD_PKGBUILD_DIR && apt-get install -y -qq --no-install-recommends reprotest \
  faketime >/dev/null && mkdir -p ../control/source-root && cp -a ../*.deb ../control/ &&
  touch -d@0 ../control/source-root ../control/*.deb && reprotest --control-build ../control \
  --vary=-fileordering,-domain_host,-user_group \
  --build-command='DEB_BUILD_OPTIONS=nocheck dpkg-buildpackage -us -uc -b -Pnocheck' . '../*.deb'"
checks() {  # SUITE OUT DEB: the build log's flags, the program's hardening, the suites that ran
  local options=(--nofortify)  # blhc reads it from the compiles
  blhc "$2/sbuild.log" || die "blhc: the build log of $1"
  dpkg-deb -x "$3" "$work/unpacked-$1"
  # x86: Debian 12's C library start-up files lack the control-flow mark; debian/rules checks ours
  [[ $native != @(amd64|i386) ]] || options+=(--nocfprotection)
  [[ $(hardening-check --help 2>&1 || true) != *--nobranchprotection* ]] ||
    options+=(--nobranchprotection)  # arm64's
  hardening-check "${options[@]}" "$work/unpacked-$1/usr/bin/threebody" || die "hardening: $1"
  same_tests "$2/sbuild.log" package "$native"
  grep -E '^(Lintian|Piuparts|Autopkgtest): ' "$2/sbuild.log" | tr '\n' ' ' && echo
  grep -q "^Reproduction successful" "$2/sbuild.log" || die "reprotest: $1"
}
window() {  # SUITE ARCH DEB: the cross-built program's window, under qemu-user in Xvfb
  local qemu; qemu=qemu-$(dpkg-architecture -a "$2" -qDEB_HOST_GNU_CPU)  # aarch64: qemu's name
  tar -cf - tests/e2e -C "$(dirname "$3")" "$(basename "$3")" |
    schroot -c "release-check-$1" -d /root -- sh -ec "tar -xf -; dpkg --add-architecture $2
      apt-get update -qq; apt-get install -y -qq --no-install-recommends ./$(basename "$3") \
        python3 python3-xlib xvfb qemu-user >/dev/null
      python3 tests/e2e/e2e_test.py --wrapper $qemu Window" || die "the $2 program's window"
}
main "$@"
