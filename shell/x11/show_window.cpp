#include "shell/x11/show_window.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "shell/x11/icon_images.h"
#include "shell/x11/monitors.h"
#include "shell/x11/orvane_icon.h"
#include "shell/x11/show_failure.h"

namespace {

constexpr char kTitle[] = "Orvane";
constexpr char kInstanceName[] = "orvane";
constexpr char kClassName[] = "Orvane";

std::string Hex(unsigned long window)
{
    char text[32];
    std::snprintf(text, sizeof text, "0x%lx", window);
    return text;
}

const char* VisualClassName(int visualClass)
{
    switch (visualClass) {
    case StaticGray:
        return "StaticGray";
    case GrayScale:
        return "GrayScale";
    case StaticColor:
        return "StaticColor";
    case PseudoColor:
        return "PseudoColor";
    case DirectColor:
        return "DirectColor";
    default:
        return "TrueColor";
    }
}

// The show writes pixels as red, green and blue in the visual's masks: only true colour
// shows them as they are.
void RequireTrueColour(Display* display, Window window)
{
    XWindowAttributes attributes{};
    XGetWindowAttributes(display, window, &attributes);
    if (attributes.visual->c_class != TrueColor) {
        throw ShowFailure("the window's visual is " + std::to_string(attributes.depth) +
                          "-bit " + VisualClassName(attributes.visual->c_class) +
                          "; the show draws only on true colour");
    }
}

void SetCardinals(Display* display, Window window, const char* name,
                  const std::vector<unsigned long>& values)
{
    XChangeProperty(display, window, XInternAtom(display, name, False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(values.data()),
                    static_cast<int>(values.size()));
}

// What window managers, task bars and desktop entries know a program's window by.
void NameWindow(Display* display, Window window, std::vector<char*> command)
{
    XClassHint classHint{const_cast<char*>(kInstanceName), const_cast<char*>(kClassName)};
    // Also WM_CLIENT_MACHINE and WM_COMMAND.
    Xutf8SetWMProperties(display, window, kTitle, kTitle, command.data(),
                         static_cast<int>(command.size()), nullptr, nullptr, &classHint);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    for (const char* name : {"_NET_WM_NAME", "_NET_WM_ICON_NAME"}) {
        XChangeProperty(display, window, XInternAtom(display, name, False), utf8, 8,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(kTitle),
                        static_cast<int>(sizeof kTitle - 1));
    }
    SetCardinals(display, window, "_NET_WM_PID", {static_cast<unsigned long>(getpid())});
    SetCardinals(display, window, "_NET_WM_ICON",
                 NetWmIcon(ReadIconImages(kOrvaneIcon, kOrvaneIconSize)));
}

std::unique_ptr<CX11Wnd> MakeOwnWindow(Display* display, const X11WindowPlacement& placement,
                                       std::vector<char*> command)
{
    RequireTrueColour(display, DefaultRootWindow(display));
    std::unique_ptr<CX11Wnd> window = CX11Wnd::Create(display, placement, kTitle);
    NameWindow(display, window->GetXWindow(), std::move(command));
    window->Map();
    return window;
}

std::unique_ptr<CX11Wnd> AdoptWindow(Display* display, Window id, const std::string& source)
{
    std::unique_ptr<CX11Wnd> window = CX11Wnd::Adopt(display, id);
    if (!window) {
        throw ShowFailure("there is no window " + Hex(id) + source + " on the display");
    }
    RequireTrueColour(display, id);
    return window;
}

}  // namespace

std::unique_ptr<CX11Wnd> MakeShowWindow(Display* display, const ShowOptions& options,
                                        std::vector<char*> command)
{
    switch (options.place) {
    case ShowPlace::FullScreen: {
        const DisplayRect area = ChooseX11ShowArea(display);
        return MakeOwnWindow(display, {area.left, area.top, area.width, area.height, true},
                             std::move(command));
    }
    case ShowPlace::Window:
        return MakeOwnWindow(
            display, {0, 0, options.windowSize.width, options.windowSize.height, false},
            std::move(command));
    case ShowPlace::Root: {
        const char* pDaemonWindow = std::getenv("XSCREENSAVER_WINDOW");
        if (pDaemonWindow == nullptr || *pDaemonWindow == '\0') {
            return AdoptWindow(display, DefaultRootWindow(display), " (the root window)");
        }
        const std::optional<unsigned long> id = ParseWindowId(pDaemonWindow);
        if (!id) {
            throw ShowFailure(std::string("XSCREENSAVER_WINDOW=") + pDaemonWindow +
                              " names no window");
        }
        return AdoptWindow(display, *id, " (XSCREENSAVER_WINDOW)");
    }
    case ShowPlace::WindowId:
        return AdoptWindow(display, options.windowId, "");
    }
    return nullptr;
}
