# Checks that each Windows executable imports DLLs of Windows itself only,
# so that it runs with nothing installed beside it: an import of a MinGW
# runtime (libstdc++, libgcc_s, libwinpthread) or of zlib means a link that
# is no longer static.
#
#   cmake -DOBJDUMP=objdump -DEXECUTABLES="a.exe;b.exe" -P windows_imports.cmake
cmake_minimum_required(VERSION 3.25)

set(system_dlls ADVAPI32.DLL BCRYPT.DLL KERNEL32.DLL MSVCRT.DLL SHELL32.DLL USER32.DLL WS2_32.DLL)

foreach(executable IN LISTS EXECUTABLES)
  execute_process(COMMAND "${OBJDUMP}" -p "${executable}" OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${OBJDUMP} failed on ${executable}")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
  if(NOT imports)
    message(FATAL_ERROR "${executable}: no imported DLL found in the output of ${OBJDUMP} -p")
  endif()
  set(foreign "")
  foreach(import IN LISTS imports)
    string(REPLACE "DLL Name: " "" dll "${import}")
    string(TOUPPER "${dll}" upper)
    if(NOT upper IN_LIST system_dlls)
      list(APPEND foreign "${dll}")
    endif()
  endforeach()
  if(foreign)
    message(FATAL_ERROR "${executable} needs DLLs that Windows does not have: ${foreign}")
  endif()
endforeach()
