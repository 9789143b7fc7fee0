// The program's own module, whose resources the dialogs, icons and window classes come from.
#pragma once

#include "platform/win32/win32_api.h"

inline HINSTANCE AfxGetInstanceHandle()
{
    return GetModuleHandleW(nullptr);
}
