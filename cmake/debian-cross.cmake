# Cross-building for another of Debian's architectures with Debian's cross
# compiler; CTest runs the target's programs under qemu-user.
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/debian-cross.cmake -DTHREEBODY_CROSS_ARCH=arm64 ...
# Libraries of the target come from Debian's multiarch packages
# (/usr/lib/<triplet>), its C library also from the cross compiler's
# (/usr/<triplet>), and Qt's build tools from the host (QT_HOST_PATH).
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES THREEBODY_CROSS_ARCH)

if(THREEBODY_CROSS_ARCH STREQUAL "arm64")
  set(triplet aarch64-linux-gnu)
  set(processor aarch64)
  set(qemu qemu-aarch64)
elseif(THREEBODY_CROSS_ARCH STREQUAL "ppc64el")
  set(triplet powerpc64le-linux-gnu)
  set(processor ppc64le)
  set(qemu qemu-ppc64le)
elseif(THREEBODY_CROSS_ARCH STREQUAL "s390x")
  set(triplet s390x-linux-gnu)
  set(processor s390x)
  set(qemu qemu-s390x)
elseif(THREEBODY_CROSS_ARCH STREQUAL "i386")
  set(triplet i686-linux-gnu)
  set(processor i686)
  set(qemu qemu-i386)
else()
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
