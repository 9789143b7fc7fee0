#include "shell/x11/monitors.h"

#include <X11/extensions/Xrandr.h>

#include <vector>

namespace {

DisplayRect WholeScreen(Display* display)
{
    const int screen = DefaultScreen(display);
    return DisplayRect{0, 0, DisplayWidth(display, screen), DisplayHeight(display, screen)};
}

// The active monitors, the primary one first as display 1 is on Windows. Where none is
// marked primary, the one at the screen's origin comes first, as the primary display of
// Windows always lies there.
std::vector<DisplayRect> ListMonitors(Display* display)
{
    std::vector<DisplayRect> monitors;
    int eventBase = 0;
    int errorBase = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase)) {
        return monitors;
    }
    int count = 0;
    XRRMonitorInfo* info = XRRGetMonitors(display, DefaultRootWindow(display), True, &count);
    int first = 0;
    for (int i = 0; i < count; ++i) {
        if (info[i].primary) {
            first = i;
            break;
        }
        if (info[i].x == 0 && info[i].y == 0 && (info[first].x != 0 || info[first].y != 0)) {
            first = i;
        }
    }
    for (int i = 0; i < count; ++i) {
        const DisplayRect rect{info[i].x, info[i].y, info[i].width, info[i].height};
        monitors.insert(i == first ? monitors.begin() : monitors.end(), rect);
    }
    if (info != nullptr) {
        XRRFreeMonitors(info);
    }
    return monitors;
}

}  // namespace

DisplayRect ChooseX11ShowArea(Display* display)
{
    const std::vector<DisplayRect> monitors = ListMonitors(display);
    return ChooseShowArea(monitors, [&] {
        return monitors.empty() ? WholeScreen(display) : monitors.front();
    });
}
