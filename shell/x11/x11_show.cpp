#include "shell/x11/x11_show.h"

#include <X11/keysym.h>
#include <poll.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "engine/target_finder.h"
#include "shell/x11/show_failure.h"

namespace {

// How often the loop looks for requests of the tour thread and new drawings: often enough
// for the zoom outline to move smoothly.
constexpr int kLoopMs = 10;

}  // namespace

CX11Show::CX11Show(Display* display, CX11Wnd& window, const X11ShowSettings& settings)
    : m_display(display), m_window(window), m_settings(settings), m_screen(window)
{
    m_screen.m_strFileBase = settings.fileBase;
    m_screen.m_bSaveImages = !settings.fileBase.empty();
    m_screen.m_bOwnerReportsNoMemory = true;
    m_screen.m_fnSaveFailed = [this](const std::string& path, int error) {
        OnSaveFailed(path, error);
    };
    m_screen.CreateBandsAndPalette();
}

CX11Show::~CX11Show()
{
    m_screen.StopTour();
}

void CX11Show::Start(int width, int height)
{
    m_screen.StopTour();
    try {
        m_window.ResizeSurface(width, height);
        m_screen.AllocImages(width, height);
    } catch (const std::bad_alloc&) {
        throw ShowFailure("not enough memory for the show at " + std::to_string(width) + "x" +
                          std::to_string(height));
    }
    m_screen.m_nShown = 0;
    // A screen without zoom targets would wait for a second zoom picture forever.
    m_screen.m_nFirstShownPicture =
        width < kMinTargetSide || height < kMinTargetSide ? 1 : CShowScreen::kFirstShownPicture;
    // Every start of a seeded show repeats the same tour.
    if (m_settings.seed) {
        m_screen.m_pTargetClock = &m_seededClock.emplace(*m_settings.seed);
    }
    Paint();
    if (!m_screen.StartTour(*this)) {
        throw ShowFailure("cannot start the tour thread (too many threads, or too little memory)");
    }
}

void CX11Show::OnSaveFailed(const std::string& path, int error)
{
    m_bSaveFailed = true;
    if (m_toldSaveErrors.insert(error).second) {
        std::fprintf(stderr, "orvane: cannot save %s: %s; the show goes on\n", path.c_str(),
                     error != 0 ? std::strerror(error) : "the file could not be written whole");
    }
}

void CX11Show::Paint()
{
    CClientDC dc(&m_window);
    m_screen.PaintScreen(dc);
}

bool CX11Show::HandleEvent(const XEvent& event)
{
    std::optional<ShowInput> input;
    switch (event.type) {
    case Expose:
        m_bExposed = true;
        break;
    case MapNotify:
        // The show takes the keyboard once its own window is visible.
        if (m_window.IsOwned()) {
            XSetInputFocus(m_display, m_window.GetXWindow(), RevertToParent, CurrentTime);
        }
        break;
    case ConfigureNotify:
        m_pendingSize = CSize{event.xconfigure.width, event.xconfigure.height};
        break;
    case DestroyNotify:
        return false;
    case ClientMessage:
        // The window manager's close stops the show like Esc.
        return static_cast<Atom>(event.xclient.data.l[0]) != m_window.DeleteAtom();
    case KeyPress: {
        XKeyEvent key = event.xkey;
        if (XLookupKeysym(&key, 0) == XK_Escape) {
            input = ShowInput::EscapeKey;
        }
        break;
    }
    case ButtonPress:
        if (event.xbutton.button == Button1) {
            input = ShowInput::LeftButtonDown;
        } else if (event.xbutton.button == Button2) {
            input = ShowInput::MiddleButtonDown;
        } else if (event.xbutton.button == Button3) {
            input = ShowInput::RightButtonDown;
        }
        break;
    case ButtonRelease:
        if (event.xbutton.button == Button3) {
            input = ShowInput::RightButtonUp;
        }
        break;
    default:
        break;
    }
    if (input) {
        switch (m_screen.OnShowInput(*input)) {
        case ShowRequest::Stop:
            return false;
        case ShowRequest::Redraw:
            RequestRedraw();
            break;
        case ShowRequest::Nothing:
            break;
        }
    }
    return true;
}

void CX11Show::Run(const std::atomic<int>& stopRequested)
{
    const CSize size = m_window.GetClientSize();
    Start(size.cx, size.cy);
    m_pendingSize = size;
    pollfd connection{ConnectionNumber(m_display), POLLIN, 0};
    bool bRunning = true;
    while (bRunning && !stopRequested) {
        poll(&connection, 1, kLoopMs);
        while (bRunning && XPending(m_display) > 0) {
            XEvent event;
            XNextEvent(m_display, &event);
            bRunning = HandleEvent(event);
        }
        if (!bRunning || stopRequested) {
            break;
        }
        // A tour runs until it is stopped, unless memory for a grid or a film ran out.
        if (m_screen.m_nTourState == -1) {
            throw ShowFailure("not enough memory to go on with the show");
        }
        const CSize current = m_window.GetClientSize();
        if (m_pendingSize.cx != current.cx || m_pendingSize.cy != current.cy) {
            Start(m_pendingSize.cx, m_pendingSize.cy);
        }
        if (m_bRedrawRequested.exchange(0) != 0) {
            Paint();
        }
        m_window.Present(m_bExposed);
        m_bExposed = false;
    }
    m_screen.StopTour();
}
