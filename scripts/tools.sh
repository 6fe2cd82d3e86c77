# shellcheck shell=bash disable=SC2034  # the lists are the sourcing scripts'
# Sourced by the scripts: what no field of debian/control fits, as dependency strings, named once.
e2e_tools="appstream, at-spi2-core, dbus-bin, dbus-daemon, desktop-file-utils, python3,
  python3-pil, python3-pyatspi, python3-xlib, weston, xvfb,
  valgrind [amd64 arm64 armhf i386 ppc64el s390x]"  # tests/e2e against the build tree
contributor_tools="clang, libclang-rt-dev, llvm, libbenchmark-dev, shellcheck"  # sanitize, fuzz...
release_tools="sbuild, schroot, mmdebstrap, autopkgtest, piuparts, lintian, blhc, devscripts,
  iproute2, qemu-user, dpkg-dev, cmake, ninja-build, libgtest-dev"  # and the cross compilers
screenshot_tools="xvfb, xauth, xdotool, imagemagick"
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}
export CTEST_PARALLEL_LEVEL=${CTEST_PARALLEL_LEVEL:-$(nproc)}
die() { echo "$(basename "$0"): $*" >&2; exit 1; }
# apt-get as root or through sudo (env: sudo drops the environment), one at a time (apt's own
# locks fail at once), the lists read once a run, and its progress: a silent wait looks hung.
apt_install() {
  local apt=(flock /var/lib/dpkg/lock-frontend env DEBIAN_FRONTEND=noninteractive apt-get)
  [ "$(id -u)" -eq 0 ] || apt=(sudo "${apt[@]}")
  [ -n "${apt_updated:-}" ] || { echo "$(basename "$0"): reading the package lists"
    "${apt[@]}" update -qq; apt_updated=1; }
  # The status lines on standard output, which -qq leaves to them (sudo closes other descriptors).
  "${apt[@]}" "$@" -y -qq --no-install-recommends -o APT::Status-Fd=1 | apt_progress
}
apt_progress() {  # apt's status lines as a line at each fifth of each stage; what it installed
  awk -F: -v me="$(basename "$0")" -v names="${apt_installed:-/dev/null}" '
    $1 == "pmstatus" && $4 ~ /^Installed / { print $2 >>names } /^(dl|pm)status:/ {
    s = $1 == "dlstatus" ? "downloading" : "installing"; if (s != last) { at = -1; last = s }
    if ((f = int($3 / 20)) > at) { printf "%s: %s, %d %%\n", me, s, f * 20; fflush(); at = f } }'
}
report_installs() {  # COMMAND...: runs it, then names in one line what apt installed for it
  local new list=build/installs-$BASHPID.txt
  : >"$list"; apt_installed=$list "$@"; new=$(sort -u "$list" | paste -sd' '); rm "$list"
  xargs -r dpkg-query -W -f="\${Installed-Size}\n" <<<"$new" | awk -v me="$(basename "$0")" \
    -v new="${new:+: $new}" '{ k += $1 } END { printf "%s: installed %d package%s%s%s\n", me, NR,
    NR == 1 ? "" : "s", NR ? sprintf(" (%d MB)", k / 1024) : "", new }'
}
# What FIELDS (an awk pattern) of debian/control's STANZA (Source or Package) name, one a line.
control_relations() {
  awk -v stanza="^$1:" -v fields="^($2):" '/^$/ { p = 0 } $0 ~ stanza { p = 1 }
    /^[^ ]/ { f = p && $0 ~ fields; sub(fields, "") } f' debian/control |
    tr ',' '\n' | sed 's/^[[:space:]]*//; s/[[:space:]]*$//; /^$/d; /^\$/d'
}
# What the installed package brings at run time: its Depends and Recommends.
runtime_depends() { control_relations Package 'Depends|Recommends' | paste -sd, | sed 's/,/, /g'; }
# What the CMake build needs: build-essential, and the Build-Depends but debhelper (debian/rules')
# and the tests' own.
build_depends() { { echo build-essential; control_relations Source Build-Depends |
  grep -v -e '<!nocheck>' -e '^debhelper'; } | paste -sd, | sed 's/,/, /g'; }
needs() {  # installs what a dependency string names unless it is satisfied already
  local deps; deps=$(tr -s '\n ' ' ' <<<"$*")
  dpkg-checkbuilddeps -d "$deps" /dev/null 2>/dev/null || apt_install satisfy "$deps"
}
same_tests() {  # LOG CONFIGURATION ARCH [LIST]: did LOG pass exactly the tests LIST names?
  local expected ran
  expected=$(awk -v c=",$2," -v a=",$3," '!/^#/ && NF == 3 && index(","$2",", c) &&
    ($3 == "any" || index(","$3",", a)) { print $1 }' "${4:-tests/expected-tests.txt}" | sort)
  ran=$(sed -n 's/^ *[0-9]*\/[0-9]* Test *#[0-9]*: \([^ ]*\) .* Passed .*/\1/p' "$1" | sort)
  if [ -z "$expected" ] || [ -z "$ran" ]; then die "no tests named for $2 on $3, or none ran"; fi
  [ "$expected" = "$ran" ] || die "$2 did not pass the tests that tests/expected-tests.txt names:" \
    "$(comm -23 <(echo "$expected") <(echo "$ran") | sed 's/$/ did not pass;/' | paste -sd' ')" \
    "$(comm -13 <(echo "$expected") <(echo "$ran") | sed 's/$/ not expected;/' | paste -sd' ')"
}
