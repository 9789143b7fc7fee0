// A hidden window for the tests: its client DC is a real screen-compatible DC.
#pragma once

#include "shell/win32/framework/native_wnd.h"

class CTestWindow : public CNativeWnd {
public:
    CTestWindow(int width = 64, int height = 48)
    {
        CreateEx(0, AfxRegisterWndClass(0, nullptr, nullptr, nullptr), L"", WS_POPUP, 0, 0, width,
                 height, nullptr, 0);
    }
};
