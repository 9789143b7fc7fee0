// Ctrl-C, SIGTERM, SIGHUP and SIGQUIT stop the renderer the way the show stops; a closed
// output is a write error, not a silent death.
#pragma once

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <thread>

#include "engine/render_context.h"
#include "platform/stop_signals.h"

// Catches SIGINT, SIGTERM, SIGHUP and SIGQUIT into g_nStopSignal.
inline void CatchRendererStopSignals()
{
    CatchStopSignals({SIGINT, SIGTERM, SIGHUP, SIGQUIT});
}

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
