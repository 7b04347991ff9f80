# Runs the built tool on one end-to-end case, in a fresh directory.
#
#   cmake -DTOOL=exe [-DEMULATOR=wine] -DCASE_DIR=dir -DWORK_DIR=dir
#         [-DWINDOWS_TARGET=ON] -P run_case.cmake
#
# A case folder holds:
#   input/            files copied into the working directory before the run
#                     (a weight.txt there stands for one left by an earlier run)
#   args              optional: command-line arguments, one per line
#   setup.cmake       optional: run before the tool, with WORK_DIR and
#                     WINDOWS_TARGET set; it may generate large inputs, make
#                     links or folders, or call skip_case(reason); it may set
#                     expected_weight_text in place of expected/weight.txt,
#                     expected_stderr_text in place of expected/stderr,
#                     expected_stdout_text in place of expected/stdout,
#                     weight_is_directory when it made weight.txt a folder, or
#                     weight_link_may_remain for a link that holds no result,
#                     or run_prefix, a command to run the tool through
#   expected/status   the exit status (0 when absent; -1 is read as 255)
#   expected/stdout   stdout, exactly, written with LF (empty when absent)
#   expected/stderr   stderr, exactly (empty when absent), or
#   expected/stderr.regex  a regular expression it must match
#   expected/weight.txt    the weight file, byte for byte, written with LF;
#                     compared with CR LF line ends on Windows. When absent
#                     (and no keeps_earlier_weight), no weight.txt may remain.
#   expected/keeps_earlier_weight  weight.txt must be input/weight.txt as it was
cmake_minimum_required(VERSION 3.25)

function(skip_case reason)
  message("SKIPPED: ${reason}")
  set(skipped TRUE PARENT_SCOPE)
endfunction()

function(fail what)
  message(FATAL_ERROR "case ${CASE_DIR}: ${what}")
endfunction()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
if(EXISTS "${CASE_DIR}/input")
  file(COPY "${CASE_DIR}/input/" DESTINATION "${WORK_DIR}")
endif()

set(skipped FALSE)
if(EXISTS "${CASE_DIR}/setup.cmake")
  include("${CASE_DIR}/setup.cmake")
endif()
if(skipped)
  return()
endif()

set(args "")
if(EXISTS "${CASE_DIR}/args")
  file(STRINGS "${CASE_DIR}/args" args ENCODING UTF-8)
endif()

execute_process(
  COMMAND ${run_prefix} ${EMULATOR} "${TOOL}" ${args}
  WORKING_DIRECTORY "${WORK_DIR}"
  RESULT_VARIABLE status
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err)

# Status.
set(expected_status 0)
if(EXISTS "${CASE_DIR}/expected/status")
  file(STRINGS "${CASE_DIR}/expected/status" expected_status)
endif()
if(expected_status EQUAL -1)
  set(expected_status 255)
endif()
if(NOT status STREQUAL expected_status)
  fail("exit status ${status}, expected ${expected_status}; stderr: ${err}")
endif()

# Output streams: stdout and stderr as expected. The Windows console streams
# end lines with CR LF.
string(REPLACE "\r\n" "\n" err "${err}")
string(REPLACE "\r\n" "\n" out "${out}")
set(expected_out "")
if(DEFINED expected_stdout_text)
  set(expected_out "${expected_stdout_text}")
elseif(EXISTS "${CASE_DIR}/expected/stdout")
  file(READ "${CASE_DIR}/expected/stdout" expected_out)
endif()
if(NOT out STREQUAL expected_out)
  fail("stdout is:\n${out}\nexpected:\n${expected_out}")
endif()
if(NOT status EQUAL 0 AND NOT err MATCHES "^[^\n]+\n$")
  fail("a failed run should print one line on stderr, got: ${err}")
endif()
if(EXISTS "${CASE_DIR}/expected/stderr.regex")
  file(READ "${CASE_DIR}/expected/stderr.regex" pattern)
  string(STRIP "${pattern}" pattern)
  if(NOT err MATCHES "${pattern}")
    fail("stderr does not match ${pattern}: ${err}")
  endif()
else()
  set(expected_err "")
  if(DEFINED expected_stderr_text)
    set(expected_err "${expected_stderr_text}")
  elseif(EXISTS "${CASE_DIR}/expected/stderr")
    file(READ "${CASE_DIR}/expected/stderr" expected_err)
  endif()
  if(NOT err STREQUAL expected_err)
    fail("stderr is:\n${err}\nexpected:\n${expected_err}")
  endif()
endif()

# A run, failed or not, leaves no temporary file behind.
file(GLOB temporaries "${WORK_DIR}/weight.txt.*.tmp")
if(temporaries)
  fail("temporary files left: ${temporaries}")
endif()

# The weight file, byte for byte.
set(weight "${WORK_DIR}/weight.txt")
if(weight_is_directory)
  file(GLOB left "${weight}/*")
  if(NOT IS_DIRECTORY "${weight}" OR left)
    fail("the weight.txt folder should be left as it was")
  endif()
  return()
endif()
if(EXISTS "${CASE_DIR}/expected/keeps_earlier_weight")
  set(expected_weight "${CASE_DIR}/input/weight.txt")
elseif(DEFINED expected_weight_text OR EXISTS "${CASE_DIR}/expected/weight.txt")
  set(expected_weight "${WORK_DIR}.expected_weight.txt")
  if(DEFINED expected_weight_text)
    set(text "${expected_weight_text}")
  else()
    file(READ "${CASE_DIR}/expected/weight.txt" text)
  endif()
  if(WINDOWS_TARGET)
    string(REPLACE "\n" "\r\n" text "${text}")
  endif()
  file(WRITE "${expected_weight}" "${text}")
else()
  if(IS_SYMLINK "${weight}" AND weight_link_may_remain)
    return()
  endif()
  if(EXISTS "${weight}" OR IS_SYMLINK "${weight}")
    fail("weight.txt should not exist after this run")
  endif()
  return()
endif()
if(NOT EXISTS "${weight}")
  fail("weight.txt was not written")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${weight}" "${expected_weight}"
                RESULT_VARIABLE differ)
if(differ)
  file(READ "${weight}" got)
  file(READ "${expected_weight}" wanted)
  fail("weight.txt differs.\ngot:\n${got}\nexpected:\n${wanted}")
endif()
