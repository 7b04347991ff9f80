# htslib for the Windows cross build, as the imported target htslib::htslib.
# Debian packages htslib for Linux only, so its source package is built here
# with mingw-w64 into a static libhts.a (htslib_mingw_source.cmake lays the
# tree out), with what reading local VCF, BCF and gzip or BGZF text needs:
# no network access (libcurl, GCS, S3), no plugins, no bzip2, xz or
# libdeflate. zlib is Debian's libz-mingw-w64-dev.
#
# HTSLIB_SOURCE_DIR (and HTSCODECS_SOURCE_DIR) take an extracted source tree
# instead of the download; it is copied, never changed.
include(ExternalProject)
find_package(Threads REQUIRED)

set(HTSLIB_SOURCE_DIR "" CACHE PATH "An htslib source tree to build for Windows instead of Debian's source package")
set(HTSCODECS_SOURCE_DIR "" CACHE PATH "An htscodecs source tree, for an htslib tree without one")

# The toolchain file confines these to /usr/x86_64-w64-mingw32.
find_library(MINGW_ZLIB NAMES libz.a REQUIRED)
find_path(MINGW_ZLIB_INCLUDE_DIR zlib.h REQUIRED)
get_filename_component(mingw_zlib_dir "${MINGW_ZLIB}" DIRECTORY)

set(htslib_prefix "${CMAKE_BINARY_DIR}/htslib-mingw")
set(htslib_library "${htslib_prefix}/lib/libhts.a")
set(htslib_include "${htslib_prefix}/include")
cmake_host_system_information(RESULT cores QUERY NUMBER_OF_LOGICAL_CORES)
find_program(GNU_MAKE NAMES make gmake REQUIRED)

ExternalProject_Add(htslib_mingw
  PREFIX "${htslib_prefix}"
  DOWNLOAD_DIR "${htslib_prefix}/downloads"
  DOWNLOAD_COMMAND "${CMAKE_COMMAND}" "-DTREE=<SOURCE_DIR>" "-DDOWNLOADS=<DOWNLOAD_DIR>"
    "-DHTSLIB_SOURCE_DIR=${HTSLIB_SOURCE_DIR}" "-DHTSCODECS_SOURCE_DIR=${HTSCODECS_SOURCE_DIR}"
    -P "${CMAKE_CURRENT_LIST_DIR}/htslib_mingw_source.cmake"
  UPDATE_COMMAND ""
  BUILD_IN_SOURCE TRUE
  # mingw-w64 has no <regex.h>: mingw_regex/ stands in for it. The AVX2 and
  # AVX-512 codecs need unaligned spills there, as the kernels of
  # CMakeLists.txt do (GCC bug 54412). The build machine's pkg-config knows
  # its own libraries only.
  CONFIGURE_COMMAND <SOURCE_DIR>/configure --host=x86_64-w64-mingw32
    "CC=${CMAKE_C_COMPILER}" "RANLIB=${CMAKE_RANLIB}" PKG_CONFIG=false
    "CFLAGS=-O2 -Wa,-muse-unaligned-vector-move"
    "CPPFLAGS=-I${CMAKE_CURRENT_LIST_DIR}/mingw_regex -I${MINGW_ZLIB_INCLUDE_DIR}"
    "LDFLAGS=-L${mingw_zlib_dir}"
    --disable-libcurl --disable-gcs --disable-s3 --disable-plugins
    --disable-bz2 --disable-lzma --without-libdeflate
  # Only the library and its public headers, copied where nothing of the
  # source tree (config.h, version.h) sits beside them.
  BUILD_COMMAND "${GNU_MAKE}" -j${cores} "AR=${CMAKE_AR}" lib-static
    COMMAND "${CMAKE_COMMAND}" -E copy_directory <SOURCE_DIR>/htslib "${htslib_include}/htslib"
    COMMAND "${CMAKE_COMMAND}" -E copy <SOURCE_DIR>/libhts.a "${htslib_library}"
  BUILD_BYPRODUCTS "${htslib_library}"
  INSTALL_COMMAND ""
  LOG_DOWNLOAD TRUE LOG_CONFIGURE TRUE LOG_BUILD TRUE LOG_OUTPUT_ON_FAILURE TRUE)

# An imported target's include folder must exist when CMake generates.
file(MAKE_DIRECTORY "${htslib_include}")
add_library(htslib::htslib STATIC IMPORTED GLOBAL)
set_target_properties(htslib::htslib PROPERTIES
  IMPORTED_LOCATION "${htslib_library}"
  INTERFACE_INCLUDE_DIRECTORIES "${htslib_include}"
  # libhts.a's own needs: zlib, threads, and Winsock for hfile.c's sockets.
  INTERFACE_LINK_LIBRARIES "${MINGW_ZLIB};Threads::Threads;ws2_32"
  # htslib's configure makes off_t 64 bits wide, and hFILE holds one: code
  # that includes its headers must agree, or hread() and its kin, inline
  # there, read the struct's later fields in the wrong place.
  INTERFACE_COMPILE_DEFINITIONS "_FILE_OFFSET_BITS=64")
add_dependencies(htslib::htslib htslib_mingw)
