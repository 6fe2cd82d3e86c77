# Cross-building the engine and its suites for another of Debian's
# architectures with Debian's cross compiler (g++-<triplet>); CTest runs
# the target's programs under qemu-user.
#   cmake --preset cross-arm64     (or -DTHREEBODY_CROSS_ARCH=arm64 with this file)
# The C library and libstdc++ come from the cross compiler (/usr/<triplet>).
# The whole program for another architecture is built as Debian cross-builds
# its packages (dpkg-buildpackage -a ARCH), not here.
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES THREEBODY_CROSS_ARCH)
# The presets pass their own name, cross-ARCH.
string(REGEX REPLACE "^cross-" "" arch "${THREEBODY_CROSS_ARCH}")

# Debian's release architectures: the GNU triplet, and qemu-user's name
# for the processor.
set(architectures
  "amd64 x86_64-linux-gnu x86_64"
  "arm64 aarch64-linux-gnu aarch64"
  "armel arm-linux-gnueabi arm"
  "armhf arm-linux-gnueabihf arm"
  "i386 i686-linux-gnu i386"
  "ppc64el powerpc64le-linux-gnu ppc64le"
  "riscv64 riscv64-linux-gnu riscv64"
  "s390x s390x-linux-gnu s390x")
set(triplet "")
foreach(row IN LISTS architectures)
  separate_arguments(row)
  list(GET row 0 name)
  if(name STREQUAL arch)
    list(GET row 1 triplet)
    list(GET row 2 qemu)
  endif()
endforeach()
if(NOT triplet)
  message(FATAL_ERROR "THREEBODY_CROSS_ARCH must name one of Debian's release architectures, not '${arch}'")
endif()
string(REGEX REPLACE "-.*" "" processor ${triplet})

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${processor})
set(CMAKE_C_COMPILER ${triplet}-gcc)
set(CMAKE_CXX_COMPILER ${triplet}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${triplet})
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env QEMU_LD_PREFIX=/usr/${triplet} qemu-${qemu})
