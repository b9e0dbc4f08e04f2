# Fails unless the module's dynamic symbol table defines exactly its three exports, so that no
# fourth name can slip out of the module unnoticed.
# Usage: cmake -DNM=<nm> -DMODULE=<module file> -P check_module_exports.cmake
execute_process(COMMAND "${NM}" -D --defined-only "${MODULE}"
    OUTPUT_VARIABLE listing
    ERROR_VARIABLE errors
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${NM} failed on ${MODULE}: ${errors}")
endif()

set(names "")
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
foreach(line IN LISTS lines)
    # "<address> <type> <name>"; the name is the last field.
    string(REGEX REPLACE "^.* " "" name "${line}")
    list(APPEND names "${name}")
endforeach()
list(SORT names)

set(expected "CreateInterface;cvar;g_pCVar")
if(NOT names STREQUAL expected)
    message(FATAL_ERROR "the module defines [${names}], expected exactly [${expected}]")
endif()
