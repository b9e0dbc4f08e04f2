# What the checks of both formats share: the names the built files must carry (what the module
# exports, and what it imports from the runtime library, which the stand-in must export), and the
# steps that judge them. The steps are macros: each adds to the caller's list `failures`, and reads
# the caller's BINARY and KIND.
set(TAVREL_MODULE_EXPORTS "CreateInterface;cvar;g_pCVar")
set(TAVREL_RUNTIME_LIBRARY_NAMES "AssertValidStringPtr;GetCPUInformation;_AssertValidWritePtr;g_pMemAlloc")

# A header field: "<label> <value>" on a line of listing; another value than expected fails.
macro(tavrel_expect_field listing label expected)
    if(NOT "${listing}" MATCHES "${label} *([^\n]+)\n")
        message(FATAL_ERROR "no '${label}' in the listing of ${BINARY}")
    endif()
    if(NOT CMAKE_MATCH_1 STREQUAL "${expected}")
        list(APPEND failures "${label} ${CMAKE_MATCH_1}, expected ${expected}")
    endif()
endmacro()

# The names the binary exports (sorted), judged by its KIND.
macro(tavrel_expect_exports exports)
    if(KIND STREQUAL "module")
        if(NOT "${exports}" STREQUAL "${TAVREL_MODULE_EXPORTS}")
            list(APPEND failures "exports [${exports}], expected exactly [${TAVREL_MODULE_EXPORTS}]")
        endif()
    elseif(KIND STREQUAL "runtime_library")
        foreach(name IN LISTS TAVREL_RUNTIME_LIBRARY_NAMES)
            if(NOT name IN_LIST exports)
                list(APPEND failures "does not export ${name}")
            endif()
        endforeach()
    elseif(NOT KIND STREQUAL "program")
        message(FATAL_ERROR "KIND must be module, runtime_library or program, not '${KIND}'")
    endif()
endmacro()

macro(tavrel_report_failures)
    if(failures)
        list(JOIN failures "\n  " report)
        message(FATAL_ERROR "${BINARY}:\n  ${report}")
    endif()
endmacro()
