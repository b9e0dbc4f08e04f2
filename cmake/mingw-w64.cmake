# The part of the MinGW-w64 cross build that both Windows targets share; the toolchain files
# mingw-w64-i686.cmake and mingw-w64-x86_64.cmake set TAVREL_MINGW_PREFIX and the Wine
# architecture, then include this. The programs it builds run here under Wine.
set(CMAKE_SYSTEM_NAME Windows)

# The -posix variants carry the thread model that std::thread needs.
set(CMAKE_C_COMPILER ${TAVREL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVREL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVREL_MINGW_PREFIX}-windres)
set(CMAKE_AR ${TAVREL_MINGW_PREFIX}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${TAVREL_MINGW_PREFIX}-gcc-ranlib-posix CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${TAVREL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libgcc, libstdc++ and winpthread go into every binary, so nothing needs MinGW's DLLs at run time;
# the system's import libraries are archives too and still bind to the system DLLs. No link time
# in the file headers, so the same sources give the same files.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")

# Wine runs the tests, in a prefix of the build tree's own so ~/.wine stays untouched; the prefix
# is made when a test first needs it, so building never needs Wine. The settings travel with the
# command, because test discovery runs outside any test's environment.
set(TAVREL_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix CACHE PATH "Wine prefix the tests run in")
set(CMAKE_CROSSCOMPILING_EMULATOR
    /usr/bin/env WINEPREFIX=${TAVREL_WINEPREFIX} TAVREL_WINEARCH=${TAVREL_WINEARCH}
    ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
