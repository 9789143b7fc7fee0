# The 64-bit Windows program, for people who prefer a native 64-bit build.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ORVANE_MINGW_PREFIX x86_64-w64-mingw32)
set(ORVANE_WINE_LOADER /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
