# Cross-building the engine and its suites for another of Debian's
# architectures with Debian's cross compiler (g++-<triplet>); CTest runs
# the target's programs under qemu-user.
#   THREEBODY_CROSS_ARCH=arm64 cmake --workflow --preset cross
# The C library and libstdc++ come from the cross compiler (/usr/<triplet>).
# The whole program for another architecture is built as Debian cross-builds
# its packages (dpkg-buildpackage -a ARCH), not here.
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES THREEBODY_CROSS_ARCH)
execute_process(COMMAND dpkg-architecture -a "${THREEBODY_CROSS_ARCH}" -qDEB_HOST_GNU_TYPE
                OUTPUT_VARIABLE triplet OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE unknown)
if(unknown OR NOT THREEBODY_CROSS_ARCH)
  message(FATAL_ERROR "THREEBODY_CROSS_ARCH must name one of Debian's architectures, not '${THREEBODY_CROSS_ARCH}'")
endif()
string(REGEX REPLACE "-.*" "" processor ${triplet})

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${processor})
set(CMAKE_C_COMPILER ${triplet}-gcc)
set(CMAKE_CXX_COMPILER ${triplet}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${triplet})
# qemu names two processors its own way; its C library is the cross compiler's.
string(REGEX REPLACE "^i[3-6]86$" "i386" qemu ${processor})
string(REPLACE "powerpc64le" "ppc64le" qemu ${qemu})
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env QEMU_LD_PREFIX=/usr/${triplet} qemu-${qemu})
