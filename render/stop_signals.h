// Ctrl-C, SIGTERM, SIGHUP and SIGQUIT stop the renderer the way the show stops; a closed
// output is a write error, not a silent death.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "engine/render_context.h"

// The number of the first stop signal that arrived; 0 before.
extern std::atomic<int> g_nStopSignal;

// Catches SIGINT, SIGTERM, SIGHUP and SIGQUIT into g_nStopSignal, except those the program
// was started ignoring (as nohup does); ignores SIGPIPE, so that writing to a closed pipe fails
// with EPIPE.
void CatchStopSignals();

// The exit status of a run ended by a signal, as the shell reports one: 128 + its number.
int StoppedStatus(int signal);

// What the show's stop does: the running flag cleared, then every worker's go flag.
void StopShow(CRenderContext& context);

// Stops the show once stopSignal is set, polling on a thread of its own while it lives. Its
// end wakes the thread at once, so a finished render does not wait out a poll.
class StopWhenSignalled {
public:
    StopWhenSignalled(CRenderContext& context, const std::atomic<int>& stopSignal);
    ~StopWhenSignalled();
    StopWhenSignalled(const StopWhenSignalled&) = delete;
    StopWhenSignalled& operator=(const StopWhenSignalled&) = delete;

private:
    std::mutex m_mutex;
    std::condition_variable m_ended;
    bool m_bDone = false;  // under m_mutex
    std::thread m_thread;
};
