# Builds one boundary probe (tests/boundary/CMakeLists.txt) and checks the outcome.
#   EXPECT=compiles: the build succeeds.
#   EXPECT=missing:  HEADER exists under SOURCE_DIR, and the build fails with exactly one
#                    compiler error, HEADER not found; any other failure fails the test.
cmake_minimum_required(VERSION 3.25)
execute_process(
    COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --config ${CONFIG} --target ${TARGET}
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)

if(EXPECT STREQUAL "compiles")
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${TARGET} does not build:\n${output}")
    endif()
    return()
endif()

if(NOT EXISTS ${SOURCE_DIR}/${HEADER})
    message(FATAL_ERROR "${HEADER} is not in the source tree: the probe proves nothing; "
        "name a header that exists")
endif()
if(status EQUAL 0)
    message(FATAL_ERROR "a front-end source that includes ${HEADER} compiled:\n${output}")
endif()
string(REGEX MATCHALL "[^\n]*error:[^\n]*" errors "${output}")
list(LENGTH errors count)
string(REPLACE "." "\\." pattern "${HEADER}")
# GCC: "fatal error: HEADER: No such file or directory"; clang: "fatal error: 'HEADER' file not found"
if(NOT count EQUAL 1 OR NOT errors MATCHES "(${pattern}: No such file or directory|'${pattern}' file not found)")
    message(FATAL_ERROR "${TARGET} failed, but not only because ${HEADER} was not found:\n${output}")
endif()
message(STATUS "${HEADER} is out of a front end's reach: ${errors}")
