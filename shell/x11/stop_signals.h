// The signals that end a session end the show the way Esc does: the tour is stopped, so that
// no picture is left half written, and the process then ends by the same signal, as its parent
// expects. xscreensaver takes a display mode that dies of its SIGTERM for one that ended
// normally, and a shell reports 128 + the signal's number.
#pragma once

#include <csignal>

#include "platform/stop_signals.h"

// Catches SIGHUP, SIGINT, SIGQUIT, SIGTERM and SIGUSR1 (xsecurelock's reset of its saver) into
// g_nStopSignal.
inline void CatchShowStopSignals()
{
    CatchStopSignals({SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGUSR1});
}

// Ends the process as the signal would have: by the signal itself, except SIGQUIT, whose
// default action dumps core; that one exits with 128 + its number.
[[noreturn]] void EndBySignal(int signal);
