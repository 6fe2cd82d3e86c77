# shellcheck shell=bash disable=SC2034  # the lists are the sourcing scripts'
# Sourced by the scripts: the tools that no field of debian/control fits,
# named once. Build-Depends holds what building the package and its suites
# need; these serve only the developer's own stages and commands.
host_tools=(mmdebstrap piuparts autopkgtest shellcheck) # throwaway chroots and testbeds; the scripts' own check
bench_tools=(libbenchmark-dev)                         # the release preset's benchmark
clang_tools=(clang libclang-rt-dev llvm)   # the sanitize preset (llvm: the symbolizer its reports need), fuzz.sh
screenshot_tools=(xvfb xauth xdotool imagemagick)      # scripts/screenshot.sh
# In the throwaway chroot: Debian's checks of a built package.
checking_tools=(lintian devscripts blhc reprotest faketime)
# The engine's suites for other architectures: the list that
# tests/expected-tests.txt promises, a cross-ARCH preset each, and Debian's
# cross compiler.
cross_architectures() { sed -n 's/^cross-architectures //p' tests/expected-tests.txt | tr ' ' '\n'; }
# The tests that a stage must see pass on an architecture.   expected_tests STAGE ARCH
expected_tests() {
  awk -v stage="$1" -v arch="$2" '/^#/ || NF == 0 || $1 == "cross-architectures" { next }
    { on = 0; staged = 0; here = 1
      for (i = 2; i <= NF; i++)
        if ($i == "on") { on = 1; here = 0 } else if (on) { here = here || $i == arch } else { staged = staged || $i == stage }
      if (staged && here) print $1 }' tests/expected-tests.txt | sort
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
