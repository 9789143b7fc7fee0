// A plain window for the X11 checks: made on the display, printed as its id, kept until the
// process is ended. The show under test draws into it as into a screen saver's window.
//   x11_test_window WIDTH HEIGHT
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: x11_test_window WIDTH HEIGHT\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "x11_test_window: no display\n");
        return 1;
    }
    const Window window = XCreateSimpleWindow(
        display, DefaultRootWindow(display), 0, 0, static_cast<unsigned>(std::atoi(argv[1])),
        static_cast<unsigned>(std::atoi(argv[2])), 0, 0, 0);
    XStoreName(display, window, "x11 test window");
    XSelectInput(display, window, ExposureMask);
    XMapWindow(display, window);
    XEvent event;
    XWindowEvent(display, window, ExposureMask, &event);
    std::printf("0x%lx\n", window);
    std::fflush(stdout);
    for (;;) {
        XNextEvent(display, &event);
    }
}
