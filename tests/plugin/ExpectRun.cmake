# Runs a program and checks its exit status and output:
#   cmake -DCOMMAND=<prog;args> -DEXPECT_STATUS=<n> -DEXPECT_OUTPUT=<regex> -P ExpectRun.cmake
execute_process(COMMAND ${COMMAND} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
message("${out}${err}")
if(NOT "${status}" STREQUAL "${EXPECT_STATUS}")
    message(FATAL_ERROR "exit status ${status}, expected ${EXPECT_STATUS}")
endif()
if(DEFINED EXPECT_OUTPUT AND NOT "${out}${err}" MATCHES "${EXPECT_OUTPUT}")
    message(FATAL_ERROR "output does not match: ${EXPECT_OUTPUT}")
endif()
