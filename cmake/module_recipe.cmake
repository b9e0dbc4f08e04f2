# How a module is linked: the shipped tavrel module, and any test module that must be built
# exactly as it is. The allocation operators and the platform's entry point go into a module
# alone: unit tests link the module's code with their own operators and without a load hook.
#   tavrel_add_module(NAME [EXTRA_SOURCES...])
function(tavrel_add_module name)
    add_library(${name} MODULE ${PROJECT_SOURCE_DIR}/runtime/allocation_operators.cpp ${ARGN})
    target_link_libraries(${name} PRIVATE
        tavrel_platform_module_entry $<LINK_LIBRARY:WHOLE_ARCHIVE,tavrel_core>)
    target_compile_options(${name} PRIVATE ${TAVREL_MODULE_COMPILE_OPTIONS})
    set_target_properties(${name} PROPERTIES
        PREFIX ""
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON)
    if(WIN32)
        # The .def file is the whole export table, undecorated. The entry point checks the host's
        # allocator before the run time starts. Every import of data must come through an import
        # declaration, bound by the loader before that check reads it. The entry's link name
        # carries the 32-bit stdcall decoration; 64-bit Windows has none.
        if(CMAKE_SIZEOF_VOID_P EQUAL 4)
            set(entry _TavrelDllEntry@12)
        else()
            set(entry TavrelDllEntry)
        endif()
        target_sources(${name} PRIVATE
            ${PROJECT_SOURCE_DIR}/platform/module/win32/module_exports.def)
        target_link_options(${name} PRIVATE -Wl,-e,${entry} -Wl,--disable-auto-import)
    else()
        set(exports ${PROJECT_SOURCE_DIR}/platform/module/linux/module_exports.map)
        target_link_options(${name} PRIVATE -Wl,--version-script=${exports} -Wl,-z,defs)
        set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${exports})
    endif()
endfunction()
