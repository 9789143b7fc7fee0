# Fails when EXECUTABLE imports a DLL that is not part of Windows itself, or, with
# LARGE_ADDRESS_AWARE set, when it is not marked to use addresses above 2 GB. On failure the
# executable and STALE (its copies) are removed, so that no later build takes them as done.
#   cmake -DOBJDUMP=... -DEXECUTABLE=... [-DSTALE=...] [-DLARGE_ADDRESS_AWARE=ON]
#         -P CheckWindowsProgram.cmake
cmake_minimum_required(VERSION 3.21)

set(system_dlls kernel32.dll user32.dll gdi32.dll msvcrt.dll advapi32.dll shell32.dll
    comctl32.dll ole32.dll)

execute_process(COMMAND ${OBJDUMP} -p ${EXECUTABLE}
                OUTPUT_VARIABLE dump RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
    file(REMOVE ${EXECUTABLE} ${STALE})
    message(FATAL_ERROR "${OBJDUMP} could not read ${EXECUTABLE}: ${errors}")
endif()

string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
set(foreign "")
foreach(line IN LISTS imports)
    string(REGEX REPLACE "^DLL Name: *" "" dll "${line}")
    string(STRIP "${dll}" dll)
    string(TOLOWER "${dll}" dll_lower)
    if(NOT dll_lower IN_LIST system_dlls)
        list(APPEND foreign ${dll})
    endif()
endforeach()

if(foreign)
    file(REMOVE ${EXECUTABLE} ${STALE})
    list(JOIN foreign ", " foreign)
    message(FATAL_ERROR "${EXECUTABLE} would need DLLs that Windows does not have: ${foreign}")
endif()

if(LARGE_ADDRESS_AWARE AND NOT dump MATCHES "large address aware")
    file(REMOVE ${EXECUTABLE} ${STALE})
    message(FATAL_ERROR "${EXECUTABLE} is not large address aware")
endif()
