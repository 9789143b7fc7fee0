// The window the show draws into: one of its own, full screen or of a chosen size, named to
// the window manager (class, process, machine, title, icon), or one it is handed, such as a
// screen saver daemon's or a settings program's preview.
#pragma once

#include <X11/Xlib.h>

#include <memory>
#include <vector>

#include "platform/soft/x11_window.h"
#include "shell/x11/show_options.h"

// The window, mapped. Throws ShowFailure when a handed window does not exist or the show
// cannot draw on the window's visual (only true colour will do), std::bad_alloc when its
// surface does not fit in memory. command: the program's command line, for WM_COMMAND.
std::unique_ptr<CX11Wnd> MakeShowWindow(Display* display, const ShowOptions& options,
                                        std::vector<char*> command);
