# Included by a case's setup.cmake: the inputs of example/genome, which hold
# one set of SNPs and one of regions in every format, and the weights that
# any pair of them gives. gzip(name) makes NAME.gz beside NAME.
file(COPY "${CMAKE_CURRENT_LIST_DIR}/../../example/genome/" DESTINATION "${WORK_DIR}")
file(READ "${CMAKE_CURRENT_LIST_DIR}/example_weights.txt" expected_weight_text)

function(gzip name)
  file(ARCHIVE_CREATE OUTPUT "${WORK_DIR}/${name}.gz" PATHS "${WORK_DIR}/${name}" FORMAT raw COMPRESSION GZip)
endfunction()

# Runs a tool of Debian's package `package` in WORK_DIR, or skips the case.
function(run_or_skip program package)
  find_program(found_${program} ${program})
  if(NOT found_${program})
    skip_case("${program} is not installed (package ${package})")
    set(skipped TRUE PARENT_SCOPE)
    return()
  endif()
  execute_process(COMMAND "${found_${program}}" ${ARGN} WORKING_DIRECTORY "${WORK_DIR}" RESULT_VARIABLE failed)
  if(failed)
    fail("${program} ${ARGN} failed")
  endif()
endfunction()
