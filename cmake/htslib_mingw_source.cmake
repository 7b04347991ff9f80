# Lays out the htslib source tree that htslib_mingw.cmake builds for
# Windows; its download step runs this.
#
#   cmake -DTREE=dir -DDOWNLOADS=dir [-DHTSLIB_SOURCE_DIR=dir]
#         [-DHTSCODECS_SOURCE_DIR=dir] -P htslib_mingw_source.cmake
#
# TREE gets a copy of HTSLIB_SOURCE_DIR, or Debian's htslib source package
# with its patches applied (apt-get source, dpkg-source -x; apt checks the
# files against the archive's signed index). Debian repacks htslib without
# its bundled htscodecs ("+ds") and links the library of that name; when the
# tree lacks it, the upstream tarball of Debian's htscodecs source package
# (or HTSCODECS_SOURCE_DIR) goes into htscodecs/, where htslib's Makefile
# compiles it into libhts.a, as it does from htslib's own release tarballs.
# The repacked tree has no configure script either: autoreconf makes it, as
# the package's build does. Nothing outside TREE and DOWNLOADS is changed.
cmake_minimum_required(VERSION 3.25)

# Runs a command in `directory`; any failure ends the script.
function(run directory)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY "${directory}" RESULT_VARIABLE failed)
  if(failed)
    string(JOIN " " command ${ARGN})
    message(FATAL_ERROR "${command}: ${failed}")
  endif()
endfunction()

# The one file or folder that matches `pattern`.
function(only_match variable pattern)
  file(GLOB matches "${pattern}")
  list(LENGTH matches count)
  if(NOT count EQUAL 1)
    message(FATAL_ERROR "expected one match of ${pattern}, found: ${matches}")
  endif()
  set(${variable} "${matches}" PARENT_SCOPE)
endfunction()

foreach(variable TREE DOWNLOADS)
  if(NOT ${variable})
    message(FATAL_ERROR "set ${variable}")
  endif()
endforeach()
# DOWNLOADS is emptied, not removed: it may be the working directory.
file(GLOB earlier "${DOWNLOADS}/*")
file(REMOVE_RECURSE "${TREE}" ${earlier})
file(MAKE_DIRECTORY "${DOWNLOADS}")

if(HTSLIB_SOURCE_DIR)
  file(COPY "${HTSLIB_SOURCE_DIR}/" DESTINATION "${TREE}")
else()
  run("${DOWNLOADS}" apt-get source --download-only htslib)
  only_match(description "${DOWNLOADS}/htslib_*.dsc")
  run("${DOWNLOADS}" dpkg-source --extract "${description}" "${TREE}")
endif()

set(codecs "${TREE}/htscodecs")
if(NOT EXISTS "${codecs}/htscodecs/rANS_static4x16.h")
  file(REMOVE_RECURSE "${codecs}")
  if(HTSCODECS_SOURCE_DIR)
    file(COPY "${HTSCODECS_SOURCE_DIR}/" DESTINATION "${codecs}")
  else()
    # The upstream tarball alone: Debian's packaging of it builds a shared
    # library, which this build does not use.
    run("${DOWNLOADS}" apt-get source --download-only --tar-only htscodecs)
    only_match(tarball "${DOWNLOADS}/htscodecs_*.orig.tar.*")
    file(ARCHIVE_EXTRACT INPUT "${tarball}" DESTINATION "${DOWNLOADS}/htscodecs")
    only_match(top "${DOWNLOADS}/htscodecs/*")
    file(RENAME "${top}" "${codecs}")
  endif()
  # htscodecs's own build writes version.h, and htslib's only from a git
  # checkout: neither runs here.
  file(STRINGS "${codecs}/configure.ac" init REGEX "^AC_INIT\\(htscodecs, *[0-9.]+")
  if(NOT init MATCHES "AC_INIT\\(htscodecs, *([0-9.]+)")
    message(FATAL_ERROR "no htscodecs version in ${codecs}/configure.ac")
  endif()
  file(WRITE "${codecs}/htscodecs/version.h" "#define HTSCODECS_VERSION_TEXT \"${CMAKE_MATCH_1}\"\n")
endif()

if(NOT EXISTS "${TREE}/configure")
  run("${TREE}" autoreconf --install)
endif()
