# Reads a built Linux binary's header, dynamic section and dynamic symbols with readelf and nm,
# running nothing, and fails unless they hold what the host relies on and nothing more:
#   module           defines exactly CreateInterface, cvar and g_pCVar; takes from the runtime
#                    library (its only unversioned names) no more than its four names,
#                    g_pMemAlloc among them; needs libtier0.so
#   runtime_library  defines the four names the module imports
#   program          a tool
# Every kind is of the expected class and machine (CLASS and MACHINE, as readelf names them) and
# needs no library but the system's C and C++ run time, besides libtier0.so for the module.
# Usage: cmake -DREADELF=<readelf> -DNM=<nm> -DBINARY=<file> -DCLASS=ELF32|ELF64
#              -DMACHINE=<readelf's machine name> -DKIND=module|runtime_library|program
#              -P <this file>
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/binary_checks.cmake)

function(run_tool output)
    execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE listing ERROR_VARIABLE errors
        RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "${ARGN} failed: ${errors}")
    endif()
    set(${output} "${listing}" PARENT_SCOPE)
endfunction()

# Names from nm's "<address> <type> <name>" lines; versioned ones keep their "@VERSION".
function(symbol_names output listing type_pattern)
    set(names "")
    string(REGEX MATCHALL "[^\n]+" lines "${listing}")
    foreach(line IN LISTS lines)
        if(line MATCHES "^[0-9a-f ]* (${type_pattern}) ([^ ]+)$")
            list(APPEND names "${CMAKE_MATCH_2}")
        endif()
    endforeach()
    list(SORT names)
    set(${output} "${names}" PARENT_SCOPE)
endfunction()

run_tool(header "${READELF}" -h -d -W "${BINARY}")
run_tool(defined "${NM}" -D --defined-only "${BINARY}")
run_tool(undefined "${NM}" -D --undefined-only "${BINARY}")

set(failures "")
tavrel_expect_field("${header}" "Class:" "${CLASS}")
tavrel_expect_field("${header}" "Machine:" "${MACHINE}")

string(REGEX MATCHALL "\\(NEEDED\\) +Shared library: \\[[^]]+\\]" needed_lines "${header}")
set(needed "")
foreach(line IN LISTS needed_lines)
    string(REGEX REPLACE ".*\\[(.+)\\]$" "\\1" library "${line}")
    list(APPEND needed "${library}")
endforeach()
foreach(library IN LISTS needed)
    if(library STREQUAL "libtier0.so" AND KIND STREQUAL "module")
        continue()
    endif()
    if(NOT library MATCHES "^lib(c|m|dl|pthread|gcc_s|stdc\\+\\+)\\.so\\.[0-9]+$")
        list(APPEND failures "needs ${library}")
    endif()
endforeach()

symbol_names(exports "${defined}" "[A-Za-z]")
# Unversioned strong imports: the system's libraries version every name they export.
symbol_names(imports "${undefined}" "U")
list(FILTER imports EXCLUDE REGEX "@")

tavrel_expect_exports("${exports}")
if(KIND STREQUAL "module")
    foreach(name IN LISTS imports)
        if(NOT name IN_LIST TAVREL_RUNTIME_LIBRARY_NAMES)
            list(APPEND failures "takes ${name} from outside the system's libraries")
        endif()
    endforeach()
    if(NOT "g_pMemAlloc" IN_LIST imports)
        list(APPEND failures "does not import g_pMemAlloc")
    endif()
    if(NOT "libtier0.so" IN_LIST needed)
        list(APPEND failures "does not need libtier0.so")
    endif()
endif()
tavrel_report_failures()
