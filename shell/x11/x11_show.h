// The show on an X11 window: the shared show screen bound to the window, the tour thread,
// and the loop that turns the window's events into the show's input, puts drawings on the
// screen, and restarts the show when the window changes size.
#pragma once

#include <atomic>
#include <optional>
#include <set>
#include <string>

#include "engine/tour.h"
#include "platform/soft/x11_window.h"
#include "platform/system.h"
#include "show/show_screen.h"

struct X11ShowSettings {
    int maxImages = 10;
    std::optional<std::int64_t> seed;
    std::string fileBase;  // the pictures' path without "_N.bmp"; empty: nothing is saved
};

class CX11Show : public ITourOwner {
public:
    CX11Show(Display* display, CX11Wnd& window, const X11ShowSettings& settings);
    CX11Show(const CX11Show&) = delete;
    CX11Show& operator=(const CX11Show&) = delete;
    ~CX11Show();

    // Runs the show until Esc, a left click, the window's close or end, or stopRequested;
    // the tour thread has ended when it returns. Throws ShowFailure when the tour cannot
    // start or go on: no thread, or no memory for its pictures.
    void Run(const std::atomic<int>& stopRequested);
    // The stop sequence alone, for a program that must end without the loop.
    void StopTour() { m_screen.StopTour(); }
    // A picture could not be saved (each kind of failure was told once on standard error).
    bool SaveFailed() const { return m_bSaveFailed; }

    CRenderContext* GetRenderContext() override { return &m_screen; }
    int GetMaxImages() override { return m_settings.maxImages; }
    void RequestRedraw() override { m_bRedrawRequested = 1; }

private:
    void Start(int width, int height);
    // False when the show is to end.
    bool HandleEvent(const XEvent& event);
    void Paint();
    // On the tour thread.
    void OnSaveFailed(const std::string& path, int error);

    Display* m_display;
    CX11Wnd& m_window;
    X11ShowSettings m_settings;
    CShowScreen m_screen;
    std::optional<platform::SeededCounterClock> m_seededClock;
    std::atomic<int> m_bRedrawRequested{0};
    bool m_bExposed = false;
    CSize m_pendingSize;
    // The errno values of the failures told so far; only the tour thread of the moment uses
    // it, and each tour thread starts after the last one has ended.
    std::set<int> m_toldSaveErrors;
    std::atomic<bool> m_bSaveFailed{false};
};
