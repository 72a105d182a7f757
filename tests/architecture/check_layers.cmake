# Fails when a source file includes a header from a folder its own folder may not use.
# Run as: cmake -DROOT=<source tree> -P check_layers.cmake
# The allowed uses below are the layers of ARCHITECTURE.md; keep the two in step.
cmake_minimum_required(VERSION 3.21)
if(NOT ROOT)
    message(FATAL_ERROR "ROOT is not set")
endif()

set(folders
    client/foundation client/transfer client/missions client/platform client/foundation/protocol
    client/session client/widgets client/display headless dataworker setup launcher updater)

set(uses_client/foundation        client/foundation)
set(uses_client/transfer          client/foundation client/transfer)
set(uses_client/missions          client/foundation client/transfer client/missions)
set(uses_client/platform          client/foundation client/platform)
set(uses_client/foundation/protocol  client/foundation client/foundation/protocol)
set(uses_client/widgets           client/foundation client/widgets)
set(uses_client/display           client/foundation client/widgets client/display)
set(uses_client/session           client/foundation client/transfer client/missions
                                  client/platform client/foundation/protocol client/widgets
                                  client/display client/session)
set(uses_headless                 client/foundation client/transfer client/missions
                                  client/foundation/protocol headless)
set(uses_dataworker               client/foundation client/transfer client/missions dataworker)
set(uses_setup                    client/foundation client/platform client/widgets setup)
set(uses_launcher                 client/foundation client/widgets launcher)
set(uses_updater                  client/foundation client/widgets updater)

# The folder a path belongs to: the longest listed folder it starts with.
function(owning_folder path out)
    set(best "")
    foreach(folder IN LISTS folders)
        string(LENGTH "${folder}" length)
        string(SUBSTRING "${path}" 0 ${length} head)
        string(LENGTH "${best}" bestLength)
        if(head STREQUAL folder AND length GREATER bestLength)
            string(SUBSTRING "${path}/" ${length} 1 next)
            if(next STREQUAL "/")
                set(best "${folder}")
            endif()
        endif()
    endforeach()
    set(${out} "${best}" PARENT_SCOPE)
endfunction()

set(violations "")
foreach(folder IN LISTS folders)
    file(GLOB sources RELATIVE "${ROOT}" "${ROOT}/${folder}/*.h" "${ROOT}/${folder}/*.cpp")
    foreach(source IN LISTS sources)
        file(STRINGS "${ROOT}/${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*$" "\\1" header "${line}")
            owning_folder("${header}" used)
            if(used STREQUAL "")
                continue() # a header next to the file, or one of the build's own
            endif()
            if(NOT used IN_LIST uses_${folder})
                string(APPEND violations "\n  ${source} includes ${header} (${folder} may not use ${used})")
            endif()
        endforeach()
    endforeach()
endforeach()

if(violations)
    message(FATAL_ERROR "Includes across the layers:${violations}")
endif()
message(STATUS "Layers hold")
