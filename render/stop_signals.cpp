#include "render/stop_signals.h"

#include <chrono>
#include <csignal>

std::atomic<int> g_nStopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

namespace {

constexpr int kSignalPollMs = 10;

void OnStopSignal(int signal)
{
    int none = 0;
    g_nStopSignal.compare_exchange_strong(none, signal);
}

}  // namespace

void CatchStopSignals()
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        struct sigaction inherited {};
        if (sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        // A write to a pipe or terminal that the signal interrupts goes on: the picture is
        // written whole, and the stop shows in the exit status.
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    }
    std::signal(SIGPIPE, SIG_IGN);
}

int StoppedStatus(int signal)
{
    return 128 + signal;
}

void StopShow(CRenderContext& context)
{
    context.m_bRunning = 0;
    context.StopWorkers();
}

StopWhenSignalled::StopWhenSignalled(CRenderContext& context, const std::atomic<int>& stopSignal)
    : m_thread([this, &context, &stopSignal] {
          // A signal handler can only set a flag, so the flag is polled.
          std::unique_lock<std::mutex> lock(m_mutex);
          while (!m_bDone) {
              if (stopSignal != 0) {
                  StopShow(context);
                  return;
              }
              m_ended.wait_for(lock, std::chrono::milliseconds(kSignalPollMs));
          }
      })
{
}

StopWhenSignalled::~StopWhenSignalled()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_bDone = true;
    }
    m_ended.notify_one();
    m_thread.join();
}
