# Fails when a program loads a library whose name matches FORBIDDEN (a regular expression).
# Run as: cmake -DPROGRAM=<file> -DFORBIDDEN=<regex> -P check_not_loaded.cmake
cmake_minimum_required(VERSION 3.21)
execute_process(COMMAND ldd "${PROGRAM}" OUTPUT_VARIABLE libraries RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT libraries MATCHES "libQt6Core")
    message(FATAL_ERROR "ldd could not list the libraries of ${PROGRAM}:\n${libraries}")
endif()
if(libraries MATCHES "${FORBIDDEN}")
    message(FATAL_ERROR "${PROGRAM} loads ${CMAKE_MATCH_0}:\n${libraries}")
endif()
message(STATUS "${PROGRAM} loads nothing that matches ${FORBIDDEN}")
