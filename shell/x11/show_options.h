// The command line of the Linux show, orvane, as people and the programs that launch screen
// savers give it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/option_walk.h"

enum class ShowPlace {
    FullScreen,  // the show area of the monitors, as the Windows show chooses it
    Window,      // an ordinary window of a chosen size
    Root,        // the screen saver daemon's window (XSCREENSAVER_WINDOW) or the root window
    WindowId,    // a window someone else made
};

// An ordinary window's size when --window names none.
inline constexpr PictureSize kDefaultWindowSize{640, 400};

struct ShowOptions {
    ShowPlace place = ShowPlace::FullScreen;
    PictureSize windowSize = kDefaultWindowSize;  // ShowPlace::Window
    unsigned long windowId = 0;                   // ShowPlace::WindowId
    int maxImages = 10;
    std::optional<std::int64_t> seed;
    std::string saveDirectory;  // empty: the user's pictures folder
    bool bSave = true;
    bool bVersion = false;
};

struct ParsedShowOptions {
    ParseOutcome outcome = ParseOutcome::Run;
    ShowOptions options;
    std::string error;
};

// args without the program name. Besides the options of the usage, it takes what screen saver
// launchers pass: the X toolkit's single-dash spellings (-root, -window-id ID), --opt=value,
// and xscreensaver-settings' preview line, which adds --window-id to a line that has --root
// (the window id wins, as it does over XSCREENSAVER_WINDOW). --no-save wins over --save-dir,
// and a show in a window it was handed saves nothing unless --save-dir is given.
ParsedShowOptions ParseShowOptions(const std::vector<std::string>& args);

std::string ShowUsageText();

// A window id as X11 programs write it: decimal, or hexadecimal after 0x. Nothing for 0 or
// any other text.
std::optional<unsigned long> ParseWindowId(const std::string& text);
