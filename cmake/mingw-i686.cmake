# The 32-bit Windows program: runs on every Windows, 32-bit and 64-bit alike.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(ORVANE_MINGW_PREFIX i686-w64-mingw32)
# Named explicitly: the `wine` launcher prefers the 32-bit loader even where it cannot run.
set(ORVANE_WINE_LOADER /usr/lib/wine/wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
