# Cross build for 32-bit Windows, the host's own target.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TAVREL_MINGW_PREFIX i686-w64-mingw32)
set(TAVREL_WINEARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
