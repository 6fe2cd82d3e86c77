# Sourced by the scripts: the tools that no field of debian/control fits,
# named once. Build-Depends holds what building the package and its suites
# need; these serve only the developer's own stages and commands.
host_tools=(mmdebstrap piuparts)                       # throwaway chroots, install and removal
bench_tools=(libbenchmark-dev)                         # the release preset's benchmark
fuzz_tools=(clang libclang-rt-dev)                     # scripts/fuzz.sh
screenshot_tools=(xvfb xauth xdotool imagemagick)      # scripts/screenshot.sh
# In the throwaway chroot: Debian's checks of a built package.
checking_tools=(lintian autopkgtest devscripts blhc reprotest faketime)
# The engine's suites for other architectures: one cross-ARCH preset each in
# CMakePresets.json, the one list of them, and Debian's cross compiler.
cross_architectures() { cmake --list-presets=workflow | sed -n 's/^ *"cross-\([a-z0-9]*\)".*/\1/p'; }
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
