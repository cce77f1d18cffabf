#!/usr/bin/env bash
# The third-party parts of the macOS build, under DIR (build-macos/third-party),
# each made once and kept:
#   src/          Debian's source packages of pugixml, libplist and cpp-httplib
#   include/      the headers of libcurl, SQLite and zlib from Debian's -dev packages:
#                 on macOS the tool opens the system's own libraries at run time
#   arm64/, x86_64/
#                 pugixml, libplist and GoogleTest (from /usr/src/googletest) built
#                 for that architecture, with the pkg-config and CMake files that let
#                 the project find them there, and cpp-httplib's header for the tests
#
#   scripts/macos-third-party.sh DIR
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
dir="$(mkdir -p "$1" && cd "$1" && pwd)"
packages=(pugixml libplist cpp-httplib)

source_of() {
  local found=("$dir/src/$1"-[0-9]*/)
  [ -d "${found[0]}" ] || return 1
  echo "${found[0]%/}"
}

# Debian's sources, through a private apt configuration with deb-src lines for
# the machine's own Debian archives: the machine's apt setup stays as it is.
fetch_sources() {
  local missing=()
  for p in "${packages[@]}"; do source_of "$p" >/dev/null || missing+=("$p"); done
  [ ${#missing[@]} -eq 0 ] && return
  local apt="$dir/apt"
  rm -rf "$apt"
  mkdir -p "$apt/sources" "$apt/lists/partial" "$apt/cache/archives/partial" "$dir/src"
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -e "$f" ] && sed -e 's/^Types:.*/Types: deb-src/' "$f" >"$apt/sources/$(basename "$f")"
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -e "$f" ] && sed -n -e 's/^deb \(.*\)/deb-src \1/p' "$f" >"$apt/sources/$(basename "$f" .list)-src.list"
  done
  local options=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$apt/sources"
                 -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache" -qq)
  # As root, apt downloads as its own user, who must be able to write there.
  local as_root=0
  if [ "$(id -u)" -eq 0 ] && id _apt >/dev/null 2>&1; then as_root=1; chown -R _apt "$apt" "$dir/src"; fi
  echo "fetching Debian sources: ${missing[*]}"
  apt-get "${options[@]}" update
  (cd "$dir/src" && apt-get "${options[@]}" source "${missing[@]}" >/dev/null)
  if [ "$as_root" -eq 1 ]; then chown -R root:root "$dir/src"; fi
  rm -rf "$apt"
}

# The headers of the libraries opened at run time, as Debian's -dev packages install them.
copy_headers() {
  [ -e "$dir/include/.done" ] && return
  rm -rf "$dir/include"
  mkdir -p "$dir/include/curl"
  local h
  for h in $(dpkg -L libcurl4-openssl-dev | grep '/curl/[^/]*\.h$'); do cp "$h" "$dir/include/curl/"; done
  for h in $(dpkg -L libsqlite3-dev zlib1g-dev | grep '^/usr/include/[^/]*\.h$'); do cp "$h" "$dir/include/"; done
  touch "$dir/include/.done"
}

# Compiles sources into one static library: lib ARCH NAME FLAGS... -- SOURCES...
lib() {
  local arch="$1" name="$2"
  shift 2
  local flags=()
  while [ "$1" != "--" ]; do flags+=("$1"); shift; done
  shift
  local objects="$dir/$arch/obj/$name"
  mkdir -p "$objects"
  local source compiler
  for source in "$@"; do
    case "$source" in *.c) compiler=cc ;; *) compiler=c++ ;; esac
    "$here/cmake/macos/$(zig_arch "$arch")-macos-$compiler" -O2 -DNDEBUG "${flags[@]}" \
      -c "$source" -o "$objects/$(basename "$source").o"
  done
  rm -f "$dir/$arch/lib/lib$name.a"
  "$here/cmake/macos/macos-ar" crs "$dir/$arch/lib/lib$name.a" "$objects"/*.o
}

zig_arch() { if [ "$1" = arm64 ]; then echo aarch64; else echo "$1"; fi; }

build_arch() {
  local arch="$1" out="$dir/$1"
  local pugixml libplist httplib gtest=/usr/src/googletest
  pugixml="$(source_of pugixml)" libplist="$(source_of libplist)" httplib="$(source_of cpp-httplib)"
  # What a build here was made from; a change rebuilds.
  local stamp
  stamp="$(basename "$pugixml") $(basename "$libplist") $(basename "$httplib")"
  stamp+=" googletest-$(dpkg-query -W -f='${Version}' googletest)"
  stamp+=" $(cat "$here/scripts/macos-third-party.sh" "$here/cmake/macos/zig-tool" | sha256sum | cut -c1-16)"
  if [ "$(cat "$out/.built" 2>/dev/null)" = "$stamp" ]; then return; fi
  rm -rf "$out"
  mkdir -p "$out/lib/pkgconfig" "$out/lib/cmake/pugixml" "$out/lib/cmake/GTest" "$out/include/plist"
  echo "building pugixml, libplist and GoogleTest for $arch"

  lib "$arch" pugixml -std=c++20 -- "$pugixml/src/pugixml.cpp"
  cp "$pugixml/src/pugixml.hpp" "$pugixml/src/pugiconfig.hpp" "$out/include/"
  cat >"$out/lib/cmake/pugixml/pugixml-config.cmake" <<'EOF'
add_library(pugixml::pugixml STATIC IMPORTED)
set_target_properties(pugixml::pugixml PROPERTIES
  IMPORTED_LOCATION "${CMAKE_CURRENT_LIST_DIR}/../../libpugixml.a"
  INTERFACE_INCLUDE_DIRECTORIES "${CMAKE_CURRENT_LIST_DIR}/../../../include")
EOF

  # libplist's configure only finds what macOS has; its answers as definitions.
  local have=(-DHAVE_STDINT_H -DHAVE_STDLIB_H -DHAVE_STRING_H -DHAVE_ASPRINTF -DHAVE_STRCASECMP -DHAVE_STRDUP
              -DHAVE_STRERROR -DHAVE_STRNDUP -DHAVE_STPCPY -DHAVE_VASPRINTF -DHAVE_GMTIME_R -DHAVE_LOCALTIME_R
              -DHAVE_TIMEGM -DHAVE_STRPTIME -DHAVE_MEMMEM -DHAVE_TM_TM_GMTOFF -DHAVE_TM_TM_ZONE -DHAVE_FVISIBILITY
              -fvisibility=hidden)
  lib "$arch" plist-2.0 "${have[@]}" -I"$libplist/include" -I"$libplist/src" -I"$libplist/libcnary/include" -- \
    "$libplist"/src/{base64,bytearray,hashtable,ptrarray,time64,xplist,bplist,plist}.c \
    "$libplist"/libcnary/{node,node_list}.c
  cp "$libplist/include/plist/plist.h" "$out/include/plist/"
  cat >"$out/lib/pkgconfig/libplist-2.0.pc" <<EOF
prefix=$out
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: libplist
Description: Apple property lists, binary and XML (Debian's $(basename "$libplist"), built for macOS $arch)
Version: ${libplist##*-}
Libs: -L\${libdir} -lplist-2.0
Cflags: -I\${includedir}
EOF

  # cpp-httplib's whole header, without TLS or compression: the tests' loopback peers.
  mkdir -p "$out/include/httplib"
  cp "$httplib/httplib.h" "$out/include/httplib/"
  cat >"$out/lib/pkgconfig/cpp-httplib.pc" <<EOF
prefix=$out
includedir=\${prefix}/include/httplib

Name: cpp-httplib
Description: HTTP server and client, header only (Debian's $(basename "$httplib"))
Version: ${httplib##*-}
Cflags: -I\${includedir}
EOF

  lib "$arch" gtest -std=c++20 -I$gtest/googletest/include -I$gtest/googletest -- $gtest/googletest/src/gtest-all.cc
  lib "$arch" gtest_main -std=c++20 -I$gtest/googletest/include -- $gtest/googletest/src/gtest_main.cc
  lib "$arch" gmock -std=c++20 -I$gtest/googlemock/include -I$gtest/googlemock -I$gtest/googletest/include -- \
    $gtest/googlemock/src/gmock-all.cc
  cp -R $gtest/googletest/include/gtest $gtest/googlemock/include/gmock "$out/include/"
  cat >"$out/lib/cmake/GTest/GTestConfig.cmake" <<'EOF'
foreach(name gtest gtest_main gmock)
  add_library(GTest::${name} STATIC IMPORTED)
  set_target_properties(GTest::${name} PROPERTIES
    IMPORTED_LOCATION "${CMAKE_CURRENT_LIST_DIR}/../../lib${name}.a"
    INTERFACE_INCLUDE_DIRECTORIES "${CMAKE_CURRENT_LIST_DIR}/../../../include")
endforeach()
set_target_properties(GTest::gtest_main GTest::gmock PROPERTIES INTERFACE_LINK_LIBRARIES GTest::gtest)
set(GTest_FOUND TRUE)
EOF

  rm -rf "$out/obj"
  echo "$stamp" >"$out/.built"
}

fetch_sources
copy_headers
# Both architectures at once, one compiler each.
build_arch arm64 &
arm64=$!
build_arch x86_64
wait "$arm64"
