// The run mode comes from the program's own file name: under a name ending in ".scr" (in any
// case) it is a screen saver that starts the show at once.
#pragma once

#include <string_view>

bool IsScreenSaverPath(std::string_view modulePath);
