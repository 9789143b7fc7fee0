// orvane: the show on an X11 screen, full screen, in a window, or as a screen saver's
// display mode.
#include <X11/Xlib.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "shell/x11/monitors.h"
#include "shell/x11/picture_folder.h"
#include "shell/x11/show_options.h"
#include "shell/x11/x11_show.h"

namespace {

constexpr char kTitle[] = "Orvane";
constexpr char kFilePrefix[] = "/Orvane";

std::atomic<bool> g_bStopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
CX11Show* g_pShow = nullptr;

void OnStopSignal(int)
{
    g_bStopRequested = true;
}

void CatchStopSignals()
{
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

// A window that its owner destroys under the show makes requests fail until the show sees
// the window's end; those failures are expected.
int IgnoreError(Display* /*display*/, XErrorEvent* /*event*/)
{
    return 0;
}

// The server has gone: nothing more can be shown. The tour ends before the process does, so
// that no picture is left half written.
int OnConnectionLost(Display* /*display*/)
{
    if (g_pShow != nullptr) {
        g_pShow->StopTour();
    }
    std::_Exit(0);
}

// Where the pictures go: an empty base when nothing is to be saved.
std::string PictureFileBase(const ShowOptions& options)
{
    if (!options.bSave) {
        return {};
    }
    const std::string folder =
        options.saveDirectory.empty() ? DefaultSaveFolder() : options.saveDirectory;
    if (const std::string problem = PrepareSaveFolder(folder); !problem.empty()) {
        std::fprintf(stderr, "orvane: %s; the show goes on without saving\n", problem.c_str());
        return {};
    }
    return folder + kFilePrefix;
}

std::unique_ptr<CX11Wnd> MakeWindow(Display* display, const ShowOptions& options)
{
    switch (options.place) {
    case ShowPlace::FullScreen: {
        const DisplayRect area = ChooseX11ShowArea(display);
        return CX11Wnd::Create(display, {area.left, area.top, area.width, area.height, true},
                               kTitle);
    }
    case ShowPlace::Window:
        return CX11Wnd::Create(
            display, {0, 0, options.windowSize.width, options.windowSize.height, false}, kTitle);
    case ShowPlace::Root: {
        const char* pDaemonWindow = std::getenv("XSCREENSAVER_WINDOW");
        const std::optional<unsigned long> id =
            pDaemonWindow != nullptr ? ParseWindowId(pDaemonWindow) : std::nullopt;
        return CX11Wnd::Adopt(display, id ? *id : DefaultRootWindow(display));
    }
    case ShowPlace::WindowId:
        return CX11Wnd::Adopt(display, options.windowId);
    }
    return nullptr;
}

}  // namespace

int main(int argc, char** argv)
{
    const ParsedShowOptions parsed = ParseShowOptions({argv + 1, argv + argc});
    switch (parsed.outcome) {
    case ParseOutcome::Help:
        std::fputs(ShowUsageText().c_str(), stdout);
        return 0;
    case ParseOutcome::Error:
        std::fprintf(stderr, "orvane: %s\n\n%s", parsed.error.c_str(), ShowUsageText().c_str());
        return 2;
    case ParseOutcome::Run:
        break;
    }
    const ShowOptions& options = parsed.options;
    if (options.bVersion) {
        std::printf("orvane %s\n", ORVANE_VERSION);
        return 0;
    }

    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        const char* pName = std::getenv("DISPLAY");
        std::fprintf(stderr, "orvane: cannot open the X display \"%s\"%s\n",
                     pName != nullptr ? pName : "",
                     pName != nullptr ? "" : ": DISPLAY is not set");
        return 1;
    }
    CatchStopSignals();
    std::unique_ptr<CX11Wnd> window = MakeWindow(display, options);
    if (!window) {
        std::fprintf(stderr, "orvane: there is no window 0x%lx on the display\n",
                     options.windowId);
        XCloseDisplay(display);
        return 1;
    }
    XSetErrorHandler(IgnoreError);
    XSetIOErrorHandler(OnConnectionLost);

    X11ShowSettings settings;
    settings.maxImages = options.maxImages;
    settings.seed = options.seed;
    settings.fileBase = PictureFileBase(options);
    {
        CX11Show show(display, *window, settings);
        g_pShow = &show;
        show.Run(g_bStopRequested);
        g_pShow = nullptr;
    }
    window.reset();
    XCloseDisplay(display);
    return 0;
}
