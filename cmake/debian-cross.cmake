# Cross-building for another of Debian's architectures with Debian's cross
# compiler; CTest runs the target's programs under qemu-user.
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/debian-cross.cmake -DTHREEBODY_CROSS_ARCH=arm64 ...
# The C library and libstdc++ come from the cross compiler (/usr/<triplet>);
# Qt for the target from THREEBODY_SYSROOT, a folder into which the target's
# Debian packages are unpacked (/usr/lib/<triplet> under it), and Qt's build
# tools from the host (QT_HOST_PATH).
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES THREEBODY_CROSS_ARCH THREEBODY_SYSROOT)

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

if(THREEBODY_SYSROOT)
  list(APPEND CMAKE_FIND_ROOT_PATH ${THREEBODY_SYSROOT})
  # Where the host's Qt keeps its tools' CMake files (/usr/lib/<host triplet>/cmake).
  execute_process(COMMAND dpkg-architecture -qDEB_BUILD_MULTIARCH
                  OUTPUT_VARIABLE host_triplet OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(QT_HOST_PATH_CMAKE_DIR /usr/lib/${host_triplet}/cmake)
  # The linker looks there for the libraries that Qt's own libraries need.
  set(THREEBODY_SYSROOT_LIBRARY_DIRS
      ${THREEBODY_SYSROOT}/usr/lib/${triplet} ${THREEBODY_SYSROOT}/lib/${triplet})
  foreach(dir IN LISTS THREEBODY_SYSROOT_LIBRARY_DIRS)
    string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -Wl,-rpath-link,${dir}")
  endforeach()
endif()
