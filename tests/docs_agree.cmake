# Every message an end-to-end case of snp_weight expects is in the manual
# page's list (numbers, names and reasons may differ: only the message's
# form is compared). messages_test.cpp checks that list against the
# messages the code words.
#
#   cmake -DSOURCE_DIR=dir -P docs_agree.cmake
cmake_minimum_required(VERSION 3.25)

# A message's form: "FILE: what: REASON" loses its reason (it comes from the
# system), numbers become N, either input file's name becomes FILE, a field's
# name FIELD, and a kind of file in parentheses KIND.
function(form_of out message)
  if(message MATCHES "^([^:]+): ([^:]+): .+$")
    set(message "${CMAKE_MATCH_1}: ${CMAKE_MATCH_2}")
  endif()
  string(REGEX REPLACE "[0-9]+" "N" message "${message}")
  string(REGEX REPLACE "^(SNP_positions|gene_regions)\\.txt" "FILE" message "${message}")
  string(REGEX REPLACE ": (SNP name|field N) " ": FIELD " message "${message}")
  string(REGEX REPLACE "\\([a-z]+\\)|UTF-N" "KIND" message "${message}")
  set(${out} "${message}" PARENT_SCOPE)
endfunction()

# The lines of a file, each ";" (a list separator to CMake) read as ","; the
# forms compared are the same either way.
function(read_lines out path)
  file(READ "${path}" text)
  string(REPLACE ";" "," text "${text}")
  string(REPLACE "\n" ";" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# The manual page: the ".B message" lines right after a ".TP" in DIAGNOSTICS,
# their "\-" read as "-".
read_lines(lines "${SOURCE_DIR}/doc/snp_weight.1.in")
set(listed "")
set(inside FALSE)
set(after_tp FALSE)
foreach(line IN LISTS lines)
  if(line MATCHES "^\\.SH ")
    string(COMPARE EQUAL "${line}" ".SH DIAGNOSTICS" inside)
  endif()
  if(inside AND after_tp AND line MATCHES "^\\.B ")
    string(SUBSTRING "${line}" 3 -1 message)
    string(REPLACE "\\-" "-" message "${message}")
    list(APPEND listed "${message}")
  endif()
  string(COMPARE EQUAL "${line}" ".TP" after_tp)
endforeach()

# Every message a case expects has the form of a listed one.
set(forms "")
foreach(message IN LISTS listed)
  form_of(form "${message}")
  list(APPEND forms "${form}")
endforeach()
file(GLOB expected_stderr "${SOURCE_DIR}/tests/cases/*/expected/stderr")
foreach(file IN LISTS expected_stderr)
  read_lines(message "${file}")
  list(GET message 0 message)
  form_of(form "${message}")
  if(NOT form IN_LIST forms)
    message(FATAL_ERROR "${file}: '${message}' is not in the manual page's list of messages")
  endif()
endforeach()
