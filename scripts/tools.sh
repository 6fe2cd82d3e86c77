# shellcheck shell=bash disable=SC2034  # the lists are the sourcing scripts'
# Sourced by the scripts: what no field of debian/control fits (Build-Depends
# holds what the package build needs), as dependency strings, named once.
e2e_tools="appstream, at-spi2-core, dbus-bin, dbus-daemon, desktop-file-utils, python3, python3-pil, python3-pyatspi,
  python3-xlib, weston, xvfb, valgrind [amd64 arm64 armhf i386 ppc64el s390x]"  # tests/e2e against the build tree
contributor_tools="clang, libclang-rt-dev, llvm, libbenchmark-dev, shellcheck"  # sanitize, fuzz, bench, scripts
release_tools="sbuild, schroot, mmdebstrap, autopkgtest, piuparts, lintian, blhc, devscripts, qemu-user, dpkg-dev"
screenshot_tools="xvfb, xauth, xdotool, imagemagick"
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)} CTEST_PARALLEL_LEVEL=${CTEST_PARALLEL_LEVEL:-$(nproc)}
die() { echo "$(basename "$0"): $*" >&2; exit 1; }
# apt-get as root, or through sudo (through env: sudo drops the environment);
# the lists fetched once a run. Shows how far it has got: a silent wait looks like a hang.
apt_install() {
  local sudo
  sudo=$([ "$(id -u)" -eq 0 ] || echo sudo)
  if [ -z "${apt_updated:-}" ]; then
    echo "$(basename "$0"): reading the package lists"
    $sudo apt-get update -qq
    apt_updated=1
  fi
  # The status lines on standard output, which -qq leaves to them (sudo closes other descriptors).
  $sudo env DEBIAN_FRONTEND=noninteractive \
    apt-get "$@" -y -qq --no-install-recommends -o APT::Status-Fd=1 | apt_progress
}
apt_progress() {  # apt's status lines as a line at each fifth of each stage
  awk -F: -v me="$(basename "$0")" '/^(dl|pm)status:/ {
    stage = $1 == "dlstatus" ? "downloading" : "installing"; fifth = int($3 / 20)
    if (stage != last || fifth > shown) {
      printf "%s: %s, %d %%\n", me, stage, fifth * 20; fflush() }
    if (stage != last) shown = -1; last = stage; shown = fifth > shown ? fifth : shown }'
}
report_installs() {  # COMMAND...: runs it, then says in one line which packages it installed
  installed >build/packages-before.txt; "$@"
  local new size; new=$(installed | comm -13 build/packages-before.txt -)
  # shellcheck disable=SC2086  # one name a word
  size=$([ -z "$new" ] || dpkg-query -W -f='${Installed-Size}\n' $new |
    awk '{ k += $1 } END { printf " (%d MB)", k / 1024 }')
  local names; names=${new:+: $(paste -sd' ' <<<"$new")}
  echo "$(basename "$0"): installed $(echo -n "$new" | grep -c '^') packages$size$names"
}
installed() { dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' | sed -n 's/^ii  *//p' | sort; }
# The relations that FIELDS (an awk pattern) of the stanza STANZA (Source or
# Package) of debian/control name, one a line, without substitution variables.
control_relations() {
  awk -v stanza="^$1:" -v fields="^($2):" '/^$/ { p = 0 } $0 ~ stanza { p = 1 }
    /^[^ ]/ { f = p && $0 ~ fields; sub(fields, "") } f' debian/control |
    tr ',' '\n' | sed 's/^[[:space:]]*//; s/[[:space:]]*$//; /^$/d; /^\$/d'
}
# What the installed package brings at run time: its Depends and Recommends.
runtime_depends() { control_relations Package 'Depends|Recommends' | paste -sd, | sed 's/,/, /g'; }
# What the CMake build needs: the Build-Depends without the tests' own and
# without debhelper, which only debian/rules uses, and the compilers that
# Debian's build-essential (implied by every Build-Depends) brings.
build_depends() {
  { echo build-essential
    control_relations Source Build-Depends | grep -v -e '<!nocheck>' -e '^debhelper'; } |
    paste -sd, | sed 's/,/, /g'
}
# Installs what a dependency string names unless it is satisfied already.
needs() {
  local deps
  deps=$(tr -s '\n ' ' ' <<<"$*")
  dpkg-checkbuilddeps -d "$deps" /dev/null 2>/dev/null || apt_install satisfy "$deps"
}
# Fails unless the tests that passed in a CTest log are exactly those that
# the list names for CONFIGURATION on ARCH.  same_tests LOG CONFIGURATION ARCH [LIST]
same_tests() {
  local expected ran
  expected=$(awk -v c=",$2," -v a=",$3," '!/^#/ && NF == 3 && index(","$2",", c) && ($3 == "any" || index(","$3",", a)) {
    print $1 }' "${4:-tests/expected-tests.txt}" | sort) &&
    ran=$(sed -n 's/^ *[0-9]*\/[0-9]* Test *#[0-9]*: \([^ ]*\) .* Passed .*/\1/p' "$1" | sort) ||
    die "cannot read $1 or the list of expected tests"
  [ -n "$expected" ] && [ -n "$ran" ] || die "no tests named for $2 on $3, or none passed in $1"
  [ "$expected" = "$ran" ] || die "$2 did not pass the tests that tests/expected-tests.txt names:$(awk -v e="$expected" \
    -v r="$ran" 'BEGIN { split(e, E, "\n"); split(r, R, "\n"); for (i in E) x[E[i]]; for (i in R) y[R[i]]
      for (t in x) if (!(t in y)) printf " %s did not pass;", t; for (t in y) if (!(t in x)) printf " %s not expected;", t }')"
}
