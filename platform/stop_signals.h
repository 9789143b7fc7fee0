// The signals that stop a Linux program, caught into one flag that its threads poll: a signal
// handler can do no more than set it.
#pragma once

#include <atomic>
#include <initializer_list>

// The number of the first stop signal that arrived; 0 before.
extern std::atomic<int> g_nStopSignal;

// Catches each of `signals` into g_nStopSignal, except those the program was started ignoring
// (as nohup does). A write the signal interrupts goes on, so the file being written is written
// whole and the stop shows afterwards. Ignores SIGPIPE, so that a closed pipe or a display
// server that went away is an error the writer reports, not a sudden death.
void CatchStopSignals(std::initializer_list<int> signals);
