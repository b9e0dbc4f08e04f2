# Cross build for 64-bit Windows, for the 64-bit builds of servers.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TAVREL_MINGW_PREFIX x86_64-w64-mingw32)
set(TAVREL_WINEARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
