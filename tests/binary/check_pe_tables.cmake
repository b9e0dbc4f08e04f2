# Reads a built Windows binary's headers and export and import tables with objdump, running
# nothing, and fails unless they hold what the host relies on and nothing more:
#   module           exports exactly CreateInterface, cvar and g_pCVar; imports from tier0.dll
#                    only its four names (g_pMemAlloc among them, which the entry point reads)
#   runtime_library  exports the four names the module imports, undecorated
#   program          a tool: exports nothing the checks care about
# Every kind is of the expected machine (FORMAT, objdump's name for it) and may import from
# the system's own DLLs only, besides what is named above: no MinGW DLL is needed at run time.
# Usage: cmake -DOBJDUMP=<objdump> -DBINARY=<file> -DFORMAT=pei-i386|pei-x86-64
#              -DKIND=module|runtime_library|program -P <this file>
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/binary_checks.cmake)
execute_process(COMMAND "${OBJDUMP}" -p "${BINARY}"
    OUTPUT_VARIABLE listing
    ERROR_VARIABLE errors
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} failed on ${BINARY}: ${errors}")
endif()

set(exports "")
set(dlls "")
set(dll "")
set(in_name_table FALSE)
string(REGEX MATCHALL "[^\n]*\n" lines "${listing}")
foreach(line IN LISTS lines)
    string(REGEX REPLACE "\n$" "" line "${line}")
    if(line MATCHES "^\tDLL Name: (.+)$")
        string(TOLOWER "${CMAKE_MATCH_1}" dll)
        list(APPEND dlls "${dll}")
        set(imports_${dll} "")
    elseif(line MATCHES "^\t[0-9a-f]+\t +[0-9]+ +(.*)$" AND dll)
        # "<vma>\t<hint> <name>": one imported name of the current DLL.
        list(APPEND imports_${dll} "${CMAKE_MATCH_1}")
    elseif(line STREQUAL "")
        set(dll "")
        set(in_name_table FALSE)
    elseif(line STREQUAL "[Ordinal/Name Pointer] Table")
        set(in_name_table TRUE)
    elseif(in_name_table AND line MATCHES "^\t\\[ *[0-9]+\\] (.+)$")
        # "[<index>] <name>": one exported name.
        list(APPEND exports "${CMAKE_MATCH_1}")
    endif()
endforeach()

set(failures "")
tavrel_expect_field("${listing}" "file format" "${FORMAT}")
foreach(dll IN LISTS dlls)
    if(dll STREQUAL "tier0.dll" AND KIND STREQUAL "module")
        foreach(name IN LISTS imports_${dll})
            if(NOT name IN_LIST TAVREL_RUNTIME_LIBRARY_NAMES)
                list(APPEND failures "imports ${name} from tier0.dll")
            endif()
        endforeach()
        if(NOT "g_pMemAlloc" IN_LIST imports_${dll})
            list(APPEND failures "does not import g_pMemAlloc from tier0.dll")
        endif()
    elseif(NOT dll MATCHES "^(kernel32|msvcrt|ucrtbase|api-ms-win-crt-[a-z0-9-]+|advapi32)\\.dll$")
        list(APPEND failures "imports from ${dll}")
    endif()
endforeach()

list(SORT exports)
tavrel_expect_exports("${exports}")
if(KIND STREQUAL "module" AND NOT "tier0.dll" IN_LIST dlls)
    list(APPEND failures "imports nothing from tier0.dll")
endif()
tavrel_report_failures()
