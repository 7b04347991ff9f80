# Checks that each compiled variant of the region rule's kernel defines one
# global function, its own entry point, and no other code: a weak function
# (an inline or template function) could be picked by the linker for another
# variant, and run wide instructions on a CPU that lacks them. Weak objects
# (V, such as the type information a sanitizer adds) hold no code.
#
#   cmake -DNM=nm -DOBJECTS="a.o;b.o" -P kernel_symbols.cmake
cmake_minimum_required(VERSION 3.25)

foreach(object IN LISTS OBJECTS)
  execute_process(COMMAND "${NM}" -g --defined-only "${object}"
                  OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${NM} failed on ${object}")
  endif()
  string(STRIP "${symbols}" symbols)
  string(REPLACE "\n" ";" symbols "${symbols}")
  list(FILTER symbols EXCLUDE REGEX " [Vv] ")
  list(LENGTH symbols count)
  if(NOT count EQUAL 1 OR NOT symbols MATCHES " T [_A-Za-z0-9]*region_scan_")
    message(FATAL_ERROR "${object} should define only its entry point, but defines:\n${symbols}")
  endif()
endforeach()
