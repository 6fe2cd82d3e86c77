# Sourced by the scripts: the tools that no field of debian/control fits,
# named once. Everything the program and its suites need is Build-Depends.
# On the machine: mmdebstrap for throwaway chroots, and the cross compilers
# for the engine's suites on the other architectures (one preset each).
host_tools=(mmdebstrap)
cross_compiler() { local triplet; triplet=$(dpkg-architecture -a "$1" -qDEB_HOST_GNU_TYPE 2>/dev/null) && echo "g++-$triplet"; }
cross_architectures() { sed -n 's/.*"name": "cross-\([a-z0-9]*\)".*/\1/p' CMakePresets.json | sort -u; }
# In the throwaway chroot: Debian's checks of a built package.
checking_tools=(lintian autopkgtest devscripts)

# apt-get as root, or through sudo; the lists fetched once a run.
apt_install() {
  local sudo
  sudo=$([ "$(id -u)" -eq 0 ] || echo sudo)
  [ -n "${apt_updated:-}" ] || { $sudo apt-get update -qq && apt_updated=1; }
  DEBIAN_FRONTEND=noninteractive $sudo apt-get "$@" -y -qq --no-install-recommends >/dev/null
}
