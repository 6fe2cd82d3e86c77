# Cross-building the engine and its suites for another of Debian's
# architectures with Debian's cross compiler (g++-<triplet>); CTest runs
# the target's programs under qemu-user (scripts/qemu-user).
#   cmake --preset cross-arm64     (or -DTHREEBODY_CROSS_ARCH=arm64 with this file)
# The C library and libstdc++ come from the cross compiler (/usr/<triplet>).
# The whole program for another architecture is built as Debian cross-builds
# its packages (dpkg-buildpackage -a ARCH), not here.
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES THREEBODY_CROSS_ARCH)
# The presets pass their own name, cross-ARCH.
string(REGEX REPLACE "^cross-" "" arch "${THREEBODY_CROSS_ARCH}")

execute_process(COMMAND dpkg-architecture -a ${arch} -qDEB_HOST_GNU_TYPE
                OUTPUT_VARIABLE triplet OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE unknown)
execute_process(COMMAND dpkg-architecture -a ${arch} -qDEB_HOST_GNU_CPU
                OUTPUT_VARIABLE processor OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(unknown OR NOT triplet)
  message(FATAL_ERROR "THREEBODY_CROSS_ARCH must name one of Debian's architectures, not '${arch}'")
endif()

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${processor})
set(CMAKE_C_COMPILER ${triplet}-gcc)
set(CMAKE_CXX_COMPILER ${triplet}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${triplet})
# The target's C library and libstdc++ are the cross compiler's.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env QEMU_LD_PREFIX=/usr/${triplet}
                                  ${CMAKE_CURRENT_LIST_DIR}/../scripts/qemu-user ${arch})
