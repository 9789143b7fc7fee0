// A window of the software backend that is also an X11 window: DCs draw into its surface as
// into any headless window's, and Present puts what they drew on the screen, through shared
// memory where the server offers it. The window is either made here (a top-level window) or
// a foreign one the program was given to draw into, such as a screen saver daemon's.
#pragma once

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

#include <memory>

#include "platform/soft/headless_window.h"

struct X11WindowPlacement {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool bFullScreen = false;  // asks the window manager to cover the monitor without a frame
};

class CX11Wnd : public CHeadlessWnd {
public:
    // A new top-level window that takes keyboard and mouse input and offers closing; not yet
    // mapped, so that the caller can name it to the window manager first.
    static std::unique_ptr<CX11Wnd> Create(Display* display, const X11WindowPlacement& placement,
                                           const char* title);
    // A window someone else owns; the show only draws into it and follows its size. Null when
    // the window does not exist.
    static std::unique_ptr<CX11Wnd> Adopt(Display* display, Window window);
    ~CX11Wnd() override;

    void* GetSafeHwnd() const override { return reinterpret_cast<void*>(m_window); }
    Window GetXWindow() const { return m_window; }
    bool IsOwned() const { return m_bOwned; }
    // The window's size now, as the server reports it.
    CSize QueryXSize() const;
    // Shows a window made by Create, raised.
    void Map();
    // Resizes the surface (black) and the image that carries it to the server. Throws
    // std::bad_alloc when they do not fit in memory.
    void ResizeSurface(int width, int height);
    // Puts the surface on the screen if DCs have drawn since the last time, or when forced
    // (the server lost the window's contents).
    void Present(bool bForce);
    // The atom of the window manager's close request.
    Atom DeleteAtom() const { return m_deleteAtom; }

private:
    CX11Wnd(Display* display, Window window, bool bOwned);
    void CreateImage();
    void DestroyImage();
    void CopySurfaceToImage();

    Display* m_display;
    Window m_window;
    bool m_bOwned;
    GC m_gc = nullptr;
    Visual* m_visual = nullptr;
    int m_depth = 0;
    XImage* m_image = nullptr;
    XShmSegmentInfo m_shm{};
    bool m_bShared = false;
    unsigned m_nPresented = 0;
    Atom m_deleteAtom = None;
};
