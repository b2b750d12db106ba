# Runs a program and checks its exit status and output:
#   cmake -DCOMMAND=<prog;args> -DEXPECT_STATUS=<n> -DEXPECT_OUTPUT=<regex> -P ExpectRun.cmake
# With -DCOPY_FOLDER=<from> -DTO=<folder> [-DCOPY_FILES=<files>], first makes TO a fresh copy of
# the folder with the files beside its own (a vehicle installed with its modules).
if(DEFINED COPY_FOLDER)
    file(REMOVE_RECURSE "${TO}")
    file(COPY "${COPY_FOLDER}/" DESTINATION "${TO}")
    if(DEFINED COPY_FILES)
        file(COPY ${COPY_FILES} DESTINATION "${TO}")
    endif()
endif()
execute_process(COMMAND ${COMMAND} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
message("${out}${err}")
if(NOT "${status}" STREQUAL "${EXPECT_STATUS}")
    message(FATAL_ERROR "exit status ${status}, expected ${EXPECT_STATUS}")
endif()
if(DEFINED EXPECT_OUTPUT AND NOT "${out}${err}" MATCHES "${EXPECT_OUTPUT}")
    message(FATAL_ERROR "output does not match: ${EXPECT_OUTPUT}")
endif()
