# Cross-compiling the Windows program on Linux with MinGW-w64; included by the toolchain file
# of each processor, which sets CMAKE_SYSTEM_PROCESSOR, ORVANE_MINGW_PREFIX and
# ORVANE_WINE_LOADER. The POSIX-threads variant is required: the win32 variant has no
# std::thread or std::mutex.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${ORVANE_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVANE_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ORVANE_MINGW_PREFIX}-windres)
set(CMAKE_OBJDUMP ${ORVANE_MINGW_PREFIX}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${ORVANE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${ORVANE_WINE_LOADER})
