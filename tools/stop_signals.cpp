#include "tools/stop_signals.h"

#include <csignal>

#include "platform/system.h"

std::atomic<int> g_nStopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

namespace {

constexpr int kStopPollMs = 10;

void OnStopSignal(int signal)
{
    int none = 0;
    g_nStopSignal.compare_exchange_strong(none, signal);
}

}  // namespace

void CatchStopSignals()
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction inherited {};
        if (sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
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
          while (!m_bDone) {
              if (stopSignal != 0) {
                  StopShow(context);
                  return;
              }
              platform::Sleep(kStopPollMs);
          }
      })
{
}

StopWhenSignalled::~StopWhenSignalled()
{
    m_bDone = 1;
    m_thread.join();
}
