# Fails unless the built module takes no heap function and no allocation operator from outside
# itself, so every block it takes goes through its own routines to the host allocator. The one
# exception is malloc on ELF: the module tag's buffer, from the process heap, never freed.
#   cmake -DTOOL=<nm or objdump> -DMODULE=<file> -DFORMAT=elf|pe -P check_module_heap_imports.cmake
cmake_minimum_required(VERSION 3.25)
if(FORMAT STREQUAL "elf")
    execute_process(COMMAND "${TOOL}" -D --undefined-only "${MODULE}"
        OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE result)
    set(allowed "malloc")
elseif(FORMAT STREQUAL "pe")
    execute_process(COMMAND "${TOOL}" -p "${MODULE}"
        OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE result)
    set(allowed "")
else()
    message(FATAL_ERROR "FORMAT must be elf or pe, not '${FORMAT}'")
endif()
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${TOOL} failed on ${MODULE}: ${errors}")
endif()

set(imports "")
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
foreach(line IN LISTS lines)
    if(FORMAT STREQUAL "elf" AND line MATCHES "^ +[Uw] ([^ @]+)")
        # "         U <name>@<version>"
        list(APPEND imports "${CMAKE_MATCH_1}")
    elseif(FORMAT STREQUAL "pe" AND line MATCHES "^\t[0-9a-f]+\t +[0-9]+ +(.+)$")
        # "<vma>\t<hint> <name>": one imported name
        list(APPEND imports "${CMAKE_MATCH_1}")
    endif()
endforeach()
if(NOT imports)
    message(FATAL_ERROR "found no imports in ${MODULE}; is the listing's format still understood?")
endif()

# The C heap, the aligned and duplicating helpers, and every operator new and delete.
set(heap_pattern "^(_?(malloc|calloc|realloc|reallocarray|free|_msize|_expand|_recalloc|memalign|valloc|pvalloc|posix_memalign|aligned_alloc|_aligned_[a-z_]+|strdup|strndup|_strdup|wcsdup|_wcsdup|asprintf|vasprintf)|_Zn[wa][jmy].*|_Zd[la]Pv.*)$")
set(failures "")
foreach(name IN LISTS imports)
    if(name MATCHES "${heap_pattern}" AND NOT name IN_LIST allowed)
        list(APPEND failures "${name}")
    endif()
endforeach()
if(failures)
    list(REMOVE_DUPLICATES failures)
    message(FATAL_ERROR "${MODULE} takes heap functions from outside itself: ${failures}")
endif()
