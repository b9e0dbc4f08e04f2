# Windows version resources, so a file's properties in Windows show the project's one version
# number. Elsewhere tavrel_add_version_resource does nothing.
set(TAVREL_VERSION_RESOURCE_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/version.rc.in)

# Gives target a version resource with this description.
function(tavrel_add_version_resource target description)
    if(NOT WIN32)
        return()
    endif()
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
        set(TAVREL_FILE_TYPE VFT_APP)
    else()
        set(TAVREL_FILE_TYPE VFT_DLL)
    endif()
    set(TAVREL_FILE_DESCRIPTION "${description}")
    set(TAVREL_INTERNAL_NAME ${target})
    # The file name is known only when the build is generated.
    set(TAVREL_ORIGINAL_FILE_NAME "$<TARGET_FILE_NAME:${target}>")
    file(READ ${TAVREL_VERSION_RESOURCE_TEMPLATE} template)
    string(CONFIGURE "${template}" content @ONLY)
    set(resource ${PROJECT_BINARY_DIR}/version_resources/${target}.rc)
    file(GENERATE OUTPUT ${resource} CONTENT "${content}")
    target_sources(${target} PRIVATE ${resource})
endfunction()
