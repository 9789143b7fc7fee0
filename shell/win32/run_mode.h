// How the program runs, from its own file name and the arguments Windows passes a screen
// saver: "/s" shows, "/p <window>" previews inside that window, "/c" or "/c:<window>" opens the
// settings (the control dialog), "/a <window>" changes a password on old systems. Options may
// start with "/" or "-", in any case; a window handle follows after a blank or a colon, in
// decimal.
#pragma once

#include <cstdint>
#include <string_view>

enum class RunMode {
    Application,  // the control dialog, waiting for its start button
    ScreenSaver,  // the show at once; the process ends when it is interrupted
    Preview,      // the tour inside the given window, saving nothing, taking no input
    None,         // nothing to do: exit at once
};

struct Launch {
    RunMode mode = RunMode::Application;
    // The preview's parent, or the control dialog's owner; 0 for none.
    std::uintptr_t window = 0;

    bool operator==(const Launch&) const = default;
};

bool IsScreenSaverPath(std::string_view modulePath);

// arguments: the command line after the program's name. Under any name but a ".scr" one the
// program is an application whatever the arguments. A screen saver without arguments, or with
// one it does not know, opens its settings: that is what Windows asks for with "Configure".
Launch ParseLaunch(std::string_view modulePath, std::string_view arguments);
