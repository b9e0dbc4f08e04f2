# What `cmake --install` puts where: the client on the path, the module in a folder of its own
# under the library folder, and its documentation (the text on installing and using it, and the
# licence) in the documentation folder. Neither the stand-in host nor the stand-in runtime library
# is installed: a server brings its own. The release presets set every folder to "." so the
# installed tree is the flat content of a release archive.
set(CMAKE_INSTALL_DOCDIR share/doc/tavrel CACHE STRING "Documentation (share/doc/tavrel)")
include(GNUInstallDirs)
set(TAVREL_INSTALL_MODULEDIR ${CMAKE_INSTALL_LIBDIR}/tavrel CACHE STRING
    "Where the module goes (lib/tavrel); copy it from there to where the server loads plug-ins")

# The short text that goes with the module, for this platform.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(TAVREL_SERVER_WIDTH 32-bit)
else()
    set(TAVREL_SERVER_WIDTH 64-bit)
endif()
set(TAVREL_MODULE_FILE tavrel${CMAKE_SHARED_MODULE_SUFFIX})
set(TAVREL_CLIENT_FILE tavrel-send${CMAKE_EXECUTABLE_SUFFIX})
if(WIN32)
    set(TAVREL_SYSTEM Windows)
    set(TAVREL_RUNTIME_LIBRARY_FILE tier0.dll)
    set(TAVREL_CLIENT_COMMAND ${TAVREL_CLIENT_FILE})
    set(TAVREL_TEXT_NEWLINES CRLF)
else()
    set(TAVREL_SYSTEM Linux)
    set(TAVREL_RUNTIME_LIBRARY_FILE libtier0.so)
    set(TAVREL_CLIENT_COMMAND ./${TAVREL_CLIENT_FILE})
    set(TAVREL_TEXT_NEWLINES UNIX)
endif()
configure_file(${PROJECT_SOURCE_DIR}/docs/release-readme.txt.in ${PROJECT_BINARY_DIR}/README.txt
    @ONLY NEWLINE_STYLE ${TAVREL_TEXT_NEWLINES})

# A release build ships stripped copies of the module and the client, made beside the build's own
# files in stripped/: their debug information goes into FILE.debug, which the stripped file names
# in its debug link, so a debugger that finds the .debug file beside the file (or in its .debug
# folder) loads it. The Debug component installs those, only when asked for by name.
if(TAVREL_RELEASE)
    set(stripped ${PROJECT_BINARY_DIR}/stripped)
    set(stripped_files "")
    foreach(target_and_file IN ITEMS "tavrel;${TAVREL_MODULE_FILE}"
                                     "tavrel-send;${TAVREL_CLIENT_FILE}")
        list(GET target_and_file 0 target)
        list(GET target_and_file 1 file)
        add_custom_command(OUTPUT ${stripped}/${file} ${stripped}/${file}.debug
            COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}>
                ${stripped}/${file}.debug
            COMMAND ${CMAKE_OBJCOPY} --strip-all
                --add-gnu-debuglink=${stripped}/${file}.debug
                $<TARGET_FILE:${target}> ${stripped}/${file}
            DEPENDS ${target}
            COMMENT "Stripping ${file}, its debug information to ${file}.debug"
            VERBATIM)
        list(APPEND stripped_files ${stripped}/${file})
    endforeach()
    add_custom_target(stripped ALL DEPENDS ${stripped_files})
    install(PROGRAMS ${stripped}/${TAVREL_CLIENT_FILE} DESTINATION ${CMAKE_INSTALL_BINDIR}
        COMPONENT Runtime)
    install(PROGRAMS ${stripped}/${TAVREL_MODULE_FILE} DESTINATION ${TAVREL_INSTALL_MODULEDIR}
        COMPONENT Runtime)
    install(FILES ${stripped}/${TAVREL_CLIENT_FILE}.debug DESTINATION ${CMAKE_INSTALL_BINDIR}
        COMPONENT Debug EXCLUDE_FROM_ALL)
    install(FILES ${stripped}/${TAVREL_MODULE_FILE}.debug
        DESTINATION ${TAVREL_INSTALL_MODULEDIR} COMPONENT Debug EXCLUDE_FROM_ALL)
else()
    install(TARGETS tavrel-send RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime)
    install(TARGETS tavrel LIBRARY DESTINATION ${TAVREL_INSTALL_MODULEDIR} COMPONENT Runtime)
endif()
install(FILES ${PROJECT_BINARY_DIR}/README.txt ${PROJECT_SOURCE_DIR}/LICENSE
    DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT Runtime)
