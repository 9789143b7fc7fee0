// The show area on an X11 screen: the monitors as RandR lists them, the primary first, put
// through the rule the Windows show uses.
#pragma once

#include <X11/Xlib.h>

#include "show/display_area.h"

DisplayRect ChooseX11ShowArea(Display* display);
