// The private messages posted to the control dialog, always with wParam and lParam 0.
#pragma once

// Repaint the whole screen window (WM_USER + 101).
constexpr unsigned WM_SAVER_REDRAW = 0x465;
// Stop the show; in screen-saver mode end the program (WM_USER + 102).
constexpr unsigned WM_SAVER_STOP = 0x466;
// Give the keyboard back to the running show (WM_USER + 103). Posted by the dialog to itself,
// so that the activation happens after the one that is under way has ended.
constexpr unsigned WM_SAVER_ACTIVATE_SHOW = 0x467;
