# shellcheck shell=bash disable=SC2034  # the lists are the sourcing scripts'
# Sourced by the scripts: what no field of debian/control fits, as dependency strings, named once.
e2e_tools="appstream, at-spi2-core, dbus-bin, dbus-daemon, desktop-file-utils, python3,
  python3-pil, python3-pyatspi, python3-xlib, weston, xvfb,
  valgrind [amd64 arm64 armhf i386 ppc64el s390x]"  # tests/e2e against the build tree
contributor_tools="clang, libclang-rt-dev, llvm, libbenchmark-dev, shellcheck"  # sanitize, fuzz...
release_tools="sbuild, schroot, mmdebstrap, autopkgtest, piuparts, lintian, blhc, devscripts,
  qemu-user, dpkg-dev"
screenshot_tools="xvfb, xauth, xdotool, imagemagick"
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}
export CTEST_PARALLEL_LEVEL=${CTEST_PARALLEL_LEVEL:-$(nproc)}
die() { echo "$(basename "$0"): $*" >&2; exit 1; }
# apt-get as root or through sudo (through env: sudo drops the environment), the lists fetched
# once a run, one apt at a time (two checks started together would meet at apt's locks, which
# fail at once), and how far it has got: a silent wait looks like a hang.
apt_install() {
  local apt=(flock /var/lib/dpkg/lock-frontend env DEBIAN_FRONTEND=noninteractive apt-get)
  [ "$(id -u)" -eq 0 ] || apt=(sudo "${apt[@]}")
  [ -n "${apt_updated:-}" ] || { echo "$(basename "$0"): reading the package lists"
    "${apt[@]}" update -qq; apt_updated=1; }
  # The status lines on standard output, which -qq leaves to them (sudo closes other descriptors).
  "${apt[@]}" "$@" -y -qq --no-install-recommends -o APT::Status-Fd=1 | apt_progress
}
apt_progress() {  # apt's status lines as a line at each fifth of each stage
  awk -F: -v me="$(basename "$0")" '/^(dl|pm)status:/ { fifth = int($3 / 20)
    stage = $1 == "dlstatus" ? "downloading" : "installing"; if (stage != last) shown = -1
    if (fifth > shown) { printf "%s: %s, %d %%\n", me, stage, fifth * 20; fflush() }
    last = stage; shown = fifth > shown ? fifth : shown }'
}
report_installs() {  # COMMAND...: runs it, then says in one line which packages it installed
  installed >build/packages-before.txt; "$@"
  local new size=""; new=$(installed | comm -13 build/packages-before.txt - | paste -sd' ')
  # shellcheck disable=SC2086  # one name a word
  [ -z "$new" ] || size=$(dpkg-query -W -f='${Installed-Size}\n' $new |
    awk '{ k += $1 } END { printf " (%d MB)", k / 1024 }')
  echo "$(basename "$0"): installed $(wc -w <<<"$new") packages$size${new:+: $new}"
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
# What the CMake build needs: the Build-Depends without the tests' own and without debhelper,
# which only debian/rules uses, and the compilers of build-essential (implied by Build-Depends).
build_depends() {
  { echo build-essential
    control_relations Source Build-Depends | grep -v -e '<!nocheck>' -e '^debhelper'; } |
    paste -sd, | sed 's/,/, /g'
}
needs() {  # installs what a dependency string names unless it is satisfied already
  local deps; deps=$(tr -s '\n ' ' ' <<<"$*")
  dpkg-checkbuilddeps -d "$deps" /dev/null 2>/dev/null || apt_install satisfy "$deps"
}
# Fails unless the tests that passed in a CTest log are exactly those that
# the list names for CONFIGURATION on ARCH.  same_tests LOG CONFIGURATION ARCH [LIST]
same_tests() {
  local expected ran
  expected=$(awk -v c=",$2," -v a=",$3," '!/^#/ && NF == 3 && index(","$2",", c) &&
    ($3 == "any" || index(","$3",", a)) { print $1 }' "${4:-tests/expected-tests.txt}" | sort)
  ran=$(sed -n 's/^ *[0-9]*\/[0-9]* Test *#[0-9]*: \([^ ]*\) .* Passed .*/\1/p' "$1" | sort)
  if [ -z "$expected" ] || [ -z "$ran" ]; then die "no tests named for $2 on $3, or none ran"; fi
  [ "$expected" = "$ran" ] || die "$2 did not pass the tests that tests/expected-tests.txt names:" \
    "$(comm -23 <(echo "$expected") <(echo "$ran") | sed 's/$/ did not pass;/' | paste -sd' ')" \
    "$(comm -13 <(echo "$expected") <(echo "$ran") | sed 's/$/ not expected;/' | paste -sd' ')"
}
