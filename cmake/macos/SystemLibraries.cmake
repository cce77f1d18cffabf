# The macOS build's system libraries, under the names the Linux build's
# find_package calls give them. No SDK is here, only Zig's headers and
# libSystem stubs, so:
# - libcurl, SQLite and zlib, which the tool opens at run time from their
#   /usr/lib paths, are their headers alone (Debian's, copied by
#   scripts/macos-third-party.sh); libcrypto has no part on macOS, whose
#   system does not let a process load its own;
# - what is linked is declared by a text stub of the macOS library (the
#   format Apple's SDKs ship), listing what we call from it: libiconv for the
#   tool, SQLite for the tests that read the store themselves.
set(BRIM_MACOS_HEADERS ${BRIM_MACOS_THIRD_PARTY}/include)
if(NOT EXISTS ${BRIM_MACOS_HEADERS}/curl/curl.h)
  message(FATAL_ERROR "No third-party headers in ${BRIM_MACOS_HEADERS}: scripts/build-macos.sh lays them out")
endif()

foreach(headers_only CURL::libcurl ZLIB::ZLIB)
  add_library(${headers_only} INTERFACE IMPORTED)
  set_target_properties(${headers_only} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${BRIM_MACOS_HEADERS})
endforeach()

add_library(SQLite::SQLite3 SHARED IMPORTED)
set_target_properties(SQLite::SQLite3 PROPERTIES
  IMPORTED_LOCATION ${CMAKE_CURRENT_LIST_DIR}/libsqlite3.tbd
  INTERFACE_INCLUDE_DIRECTORIES ${BRIM_MACOS_HEADERS})

add_library(Iconv::Iconv SHARED IMPORTED)
set_target_properties(Iconv::Iconv PROPERTIES IMPORTED_LOCATION ${CMAKE_CURRENT_LIST_DIR}/libiconv.tbd)

