# SPDX-License-Identifier: MIT
# One memcheck case: runs the test program with a gtest filter (its runs of
# the tool go through TQ_TEST_WRAPPER, which ctest sets).
#
#   cmake -DPROGRAM=<test program> -DFILTER=<gtest filter> -P run.cmake
#
# A filter that selects nothing passes in gtest, so a renamed test would
# leave its case unseen: first every positive pattern of the filter, with the
# filter's exclusions, must select at least one test; then the run must pass.
foreach(variable PROGRAM FILTER)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "run.cmake: ${variable} is not set")
  endif()
endforeach()

string(FIND "${FILTER}" "-" dash)
if(dash EQUAL -1)
  set(positive "${FILTER}")
  set(negative "")
else()
  string(SUBSTRING "${FILTER}" 0 ${dash} positive)
  math(EXPR after "${dash} + 1")
  string(SUBSTRING "${FILTER}" ${after} -1 negative)
  set(negative "-${negative}")
endif()
string(REPLACE ":" ";" patterns "${positive}")
list(REMOVE_ITEM patterns "")
if(NOT patterns)
  message(FATAL_ERROR "memcheck: the filter '${FILTER}' names no test")
endif()

set(unmatched "")
foreach(pattern IN LISTS patterns)
  execute_process(COMMAND "${PROGRAM}" --gtest_list_tests "--gtest_filter=${pattern}${negative}"
                  OUTPUT_VARIABLE listed RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "memcheck: listing the tests of '${pattern}' failed (${status})")
  endif()
  # Test names are listed indented below their suite.
  if(NOT listed MATCHES "\n  [^ \n]")
    list(APPEND unmatched "${pattern}")
  endif()
endforeach()
if(unmatched)
  list(JOIN unmatched ", " unmatched)
  message(FATAL_ERROR "memcheck: no test matches ${unmatched} (renamed or removed?)")
endif()

execute_process(COMMAND "${PROGRAM}" "--gtest_filter=${FILTER}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "memcheck: the run failed (${status})")
endif()
