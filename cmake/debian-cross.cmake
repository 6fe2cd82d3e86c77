# Cross-building for another of Debian's architectures with Debian's cross
# compiler; CTest runs the target's programs under qemu-user.
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/debian-cross.cmake -DTHREEBODY_CROSS_ARCH=arm64 ...
# Libraries of the target come from Debian's multiarch packages
# (/usr/lib/<triplet>), its C library also from the cross compiler's
# (/usr/<triplet>), and Qt's build tools from the host (QT_HOST_PATH).
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES THREEBODY_CROSS_ARCH)

# Debian's name, GNU triplet, CMake's processor name, qemu-user program.
set(targets
  "arm64 aarch64-linux-gnu aarch64 qemu-aarch64"
  "ppc64el powerpc64le-linux-gnu ppc64le qemu-ppc64le"
  "s390x s390x-linux-gnu s390x qemu-s390x"
  "i386 i686-linux-gnu i686 qemu-i386")
unset(triplet)
foreach(target IN LISTS targets)
  string(REPLACE " " ";" fields "${target}")
  list(GET fields 0 name)
  if(name STREQUAL "${THREEBODY_CROSS_ARCH}")
    list(GET fields 1 triplet)
    list(GET fields 2 processor)
    list(GET fields 3 qemu)
  endif()
endforeach()
if(NOT triplet)
  message(FATAL_ERROR "THREEBODY_CROSS_ARCH must be arm64, ppc64el, s390x or i386, not '${THREEBODY_CROSS_ARCH}'")
endif()

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${processor})
set(CMAKE_C_COMPILER ${triplet}-gcc)
set(CMAKE_CXX_COMPILER ${triplet}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${triplet})
set(CMAKE_CROSSCOMPILING_EMULATOR ${qemu} -L /usr/${triplet})
set(QT_HOST_PATH /usr)
set(THREEBODY_DEB_ARCH ${THREEBODY_CROSS_ARCH})
