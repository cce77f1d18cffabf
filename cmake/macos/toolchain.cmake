# Cross build for macOS 11 and later with Zig's clang and linker, which bring
# the macOS headers, libSystem's stubs and libc++ (linked statically) along: no
# SDK is needed. One architecture per build tree; scripts/build-macos.sh builds
# both and joins them into universal binaries.
#
#   BRIM_MACOS_ARCH         arm64 or x86_64
#   BRIM_MACOS_THIRD_PARTY  the folder scripts/build-macos.sh fills: <arch>/ with
#                           pugixml and libplist built for that architecture,
#                           include/ with the headers of the libraries the tool
#                           opens at run time, src/ with the unpacked sources
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_VERSION 20.1.0)  # Darwin 20: macOS 11

if(NOT BRIM_MACOS_ARCH)
  set(BRIM_MACOS_ARCH "$ENV{BRIM_MACOS_ARCH}")
endif()
if(BRIM_MACOS_ARCH STREQUAL "arm64")
  set(zig_arch aarch64)
elseif(BRIM_MACOS_ARCH STREQUAL "x86_64")
  set(zig_arch x86_64)
else()
  message(FATAL_ERROR "BRIM_MACOS_ARCH must be arm64 or x86_64, not '${BRIM_MACOS_ARCH}'")
endif()
set(CMAKE_SYSTEM_PROCESSOR ${BRIM_MACOS_ARCH})
if(NOT BRIM_MACOS_THIRD_PARTY)
  set(BRIM_MACOS_THIRD_PARTY "$ENV{BRIM_MACOS_THIRD_PARTY}")
endif()
# The compiler checks run in projects of their own, which see only these.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES BRIM_MACOS_ARCH BRIM_MACOS_THIRD_PARTY)
set(ENV{BRIM_MACOS_ARCH} ${BRIM_MACOS_ARCH})
set(ENV{BRIM_MACOS_THIRD_PARTY} ${BRIM_MACOS_THIRD_PARTY})

set(CMAKE_C_COMPILER ${CMAKE_CURRENT_LIST_DIR}/${zig_arch}-macos-cc)
set(CMAKE_CXX_COMPILER ${CMAKE_CURRENT_LIST_DIR}/${zig_arch}-macos-c++)
set(CMAKE_AR ${CMAKE_CURRENT_LIST_DIR}/macos-ar CACHE FILEPATH "Archiver")
set(CMAKE_RANLIB ${CMAKE_CURRENT_LIST_DIR}/macos-ranlib CACHE FILEPATH "Ranlib")
# The minimum macOS comes with the target the wrappers give Zig; CMake's own
# -arch and -mmacosx-version-min would contradict it.
set(CMAKE_OSX_ARCHITECTURES "" CACHE STRING "" FORCE)
set(CMAKE_OSX_DEPLOYMENT_TARGET "" CACHE STRING "" FORCE)
set(CMAKE_OSX_SYSROOT "" CACHE PATH "" FORCE)

# Optimised, and without the undefined-behaviour traps Zig adds to unoptimised code.
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "")
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG" CACHE STRING "")

# Libraries and packages for the target come only from its prefix, never from this machine.
set(CMAKE_FIND_ROOT_PATH ${BRIM_MACOS_THIRD_PARTY}/${BRIM_MACOS_ARCH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} ${BRIM_MACOS_THIRD_PARTY}/${BRIM_MACOS_ARCH}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
