# Runs the validator and passes only when it reports tests run and none failed.
execute_process(
    COMMAND ${VALIDATOR} -e ${BUNDLE}
    OUTPUT_VARIABLE out
    ERROR_VARIABLE err
    RESULT_VARIABLE rc)

message("${out}${err}")

string(REGEX MATCH "Result: ([0-9]+) tests passed, ([0-9]+) tests failed" summary "${out}")
if(NOT summary)
    message(FATAL_ERROR "validator printed no result summary (exit code ${rc})")
endif()
if(NOT CMAKE_MATCH_2 EQUAL 0 OR NOT rc EQUAL 0)
    message(FATAL_ERROR "validator: ${CMAKE_MATCH_2} tests failed (exit code ${rc})")
endif()
if(CMAKE_MATCH_1 EQUAL 0)
    message(FATAL_ERROR "validator ran no test")
endif()
