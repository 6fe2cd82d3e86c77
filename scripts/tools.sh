# shellcheck shell=bash disable=SC2034  # the lists are the sourcing scripts'
# Sourced by the scripts: the tools that no field of debian/control fits,
# named once; Build-Depends holds what the package and its suites need.
host_tools=(mmdebstrap piuparts autopkgtest shellcheck)      # chroots, testbeds, the scripts' check
bench_tools=(libbenchmark-dev)                               # the release preset's benchmark
clang_tools=(clang libclang-rt-dev llvm)     # sanitize preset (llvm: its reports' symbolizer), fuzz.sh
screenshot_tools=(xvfb xauth xdotool imagemagick)            # scripts/screenshot.sh
checking_tools=(lintian devscripts blhc reprotest faketime)  # Debian's checks, in the build chroot
# From tests/expected-tests.txt: the architectures of the cross stage, and
# the tests that a stage must see pass on an architecture.
cross_architectures() { sed -n 's/^cross-architectures //p' tests/expected-tests.txt | tr ' ' '\n'; }
expected_tests() {  # STAGE ARCH
  awk -v s=",$1," -v a=",$2," '!/^#/ && NF == 3 && index(","$2",", s) && ($3 == "any" || index(","$3",", a)) { print $1 }' \
    tests/expected-tests.txt | sort
}
cross_compiler() { local triplet; triplet=$(dpkg-architecture -a "$1" -qDEB_HOST_GNU_TYPE 2>/dev/null) && echo "g++-$triplet"; }

# apt-get as root, or through sudo; the lists fetched once a run.
apt_install() {
  local sudo
  sudo=$([ "$(id -u)" -eq 0 ] || echo sudo)
  [ -n "${apt_updated:-}" ] || { $sudo apt-get update -qq && apt_updated=1; }
  DEBIAN_FRONTEND=noninteractive $sudo apt-get "$@" -y -qq --no-install-recommends >/dev/null
}
# Installs the packages unless dpkg has each one installed.
ensure_installed() {
  local installed
  installed=$(dpkg-query -W -f='${db:Status-Abbrev}\n' "$@" 2>/dev/null | grep -c '^ii' || true)
  [ "$installed" -eq $# ] || apt_install install "$@"
}
