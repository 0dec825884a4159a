# Writes one add_test() per case that the built core test binary lists, for CTest to include.
# Run after each build: the list comes from the binary itself, so no case can be left out.
# Usage: cmake -DTEST_BINARY=... -DOUTPUT=... -P discover.cmake
execute_process(COMMAND "${TEST_BINARY}" --list
                OUTPUT_VARIABLE names RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${TEST_BINARY} --list failed (${status}): ${errors}")
endif()
string(REPLACE "\n" ";" names "${names}")
set(content "")
foreach(name IN LISTS names)
  if(NOT name STREQUAL "")
    string(APPEND content "add_test([=[core/${name}]=] [=[${TEST_BINARY}]=] [=[${name}]=])\n")
  endif()
endforeach()
if(content STREQUAL "")
  message(FATAL_ERROR "${TEST_BINARY} lists no tests")
endif()
file(WRITE "${OUTPUT}" "${content}")
