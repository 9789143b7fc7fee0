// orvane: the show on an X11 screen, full screen, in a window, or as a screen saver's
// display mode.
//
// Exit status: 0 when the show is ended (Esc, a left click, its window closed or destroyed)
// with every picture saved; 1 when it cannot run (no display, no such window, a visual it
// cannot draw on, no thread, no memory) or a picture could not be saved; 2 for a bad command
// line; ended by a stop signal, the process ends by that signal (see stop_signals.h).
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>

#include "shell/x11/picture_folder.h"
#include "shell/x11/picture_prefix.h"
#include "shell/x11/show_failure.h"
#include "shell/x11/show_options.h"
#include "shell/x11/show_window.h"
#include "shell/x11/stop_signals.h"
#include "shell/x11/x11_show.h"

namespace {

constexpr int kFailed = 1;
constexpr int kBadCommandLine = 2;

CX11Show* g_pShow = nullptr;

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

Display* OpenDisplay()
{
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        const char* pName = std::getenv("DISPLAY");
        const bool bUnset = pName == nullptr || *pName == '\0';
        std::fprintf(stderr, "orvane: cannot open the X display \"%s\"%s\n",
                     bUnset ? "" : pName, bUnset ? ": DISPLAY is not set" : "");
    }
    return display;
}

struct SaveTarget {
    std::string fileBase;  // empty: nothing is saved
    bool bFailed = false;  // the user wanted pictures the show cannot save
};

// Where the pictures go.
SaveTarget ChooseSaveTarget(const ShowOptions& options)
{
    if (!options.bSave) {
        return {};
    }
    const std::string folder = options.saveDirectory.empty()
                                   ? DefaultSaveFolder()
                                   : ChosenFolder(options.saveDirectory);
    std::string problem = PrepareSaveFolder(folder);
    PicturePrefix prefix;
    if (problem.empty()) {
        prefix = ClaimPicturePrefix(folder);
        problem = prefix.problem;
    }
    if (!problem.empty()) {
        std::fprintf(stderr, "orvane: %s; the show goes on without saving\n", problem.c_str());
        return {{}, true};
    }
    return {prefix.fileBase, false};
}

// The show from its window to its end; the exit status for a show that was not stopped by
// a signal.
int RunShow(Display* display, const ShowOptions& options, std::vector<char*> command)
{
    std::unique_ptr<CX11Wnd> window = MakeShowWindow(display, options, std::move(command));
    XSetErrorHandler(IgnoreError);
    XSetIOErrorHandler(OnConnectionLost);

    const SaveTarget target = ChooseSaveTarget(options);
    X11ShowSettings settings;
    settings.maxImages = options.maxImages;
    settings.seed = options.seed;
    settings.fileBase = target.fileBase;
    CX11Show show(display, *window, settings);
    g_pShow = &show;
    try {
        show.Run(g_nStopSignal);
    } catch (...) {
        g_pShow = nullptr;
        throw;
    }
    g_pShow = nullptr;
    return target.bFailed || show.SaveFailed() ? kFailed : 0;
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
        return kBadCommandLine;
    case ParseOutcome::Run:
        break;
    }
    if (parsed.options.bVersion) {
        std::printf("orvane %s\n", ORVANE_VERSION);
        return 0;
    }

    Display* display = OpenDisplay();
    if (display == nullptr) {
        return kFailed;
    }
    CatchShowStopSignals();
    int status = kFailed;
    try {
        status = RunShow(display, parsed.options, {argv, argv + argc});
    } catch (const ShowFailure& failure) {
        std::fprintf(stderr, "orvane: %s\n", failure.what());
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "orvane: not enough memory for the show\n");
    }
    XCloseDisplay(display);
    if (const int signal = g_nStopSignal; signal != 0) {
        EndBySignal(signal);
    }
    return status;
}
