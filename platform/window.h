// The window that a show draws into. The software backend's windows are memory surfaces
// (see platform/soft/headless_window.h); the Win32 backend's are real windows.
#pragma once

#include "platform/gdi.h"

class CWnd {
public:
    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    virtual ~CWnd() = default;

    // Size of the client area in pixels.
    virtual CSize GetClientSize() const = 0;
    // The native window handle (an HWND on Windows); null for windows without one.
    virtual void* GetSafeHwnd() const { return nullptr; }
};
