# Fails when a program loads the database library: only the database worker svGetData may, so
# that a damaged database can never stop a client. Run as: cmake -DPROGRAM=<file> -P check_no_mdb.cmake
cmake_minimum_required(VERSION 3.21)
execute_process(COMMAND ldd "${PROGRAM}" OUTPUT_VARIABLE libraries RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT libraries MATCHES "libQt6Core")
    message(FATAL_ERROR "ldd could not list the libraries of ${PROGRAM}:\n${libraries}")
endif()
if(libraries MATCHES "libmdb")
    message(FATAL_ERROR "${PROGRAM} loads libmdb:\n${libraries}")
endif()
message(STATUS "${PROGRAM} does not load libmdb")
