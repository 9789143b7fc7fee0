#include "platform/stop_signals.h"

#include <csignal>

std::atomic<int> g_nStopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

namespace {

void OnStopSignal(int signal)
{
    int none = 0;
    g_nStopSignal.compare_exchange_strong(none, signal);
}

}  // namespace

void CatchStopSignals(std::initializer_list<int> signals)
{
    for (const int signal : signals) {
        struct sigaction inherited {};
        if (sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    }
    std::signal(SIGPIPE, SIG_IGN);
}
