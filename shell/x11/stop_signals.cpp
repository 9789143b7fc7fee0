#include "shell/x11/stop_signals.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>

std::atomic<int> g_nStopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

namespace {

void OnStopSignal(int signal)
{
    int none = 0;
    g_nStopSignal.compare_exchange_strong(none, signal);
}

}  // namespace

void CatchStopSignals()
{
    for (const int signal : {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGUSR1}) {
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

void EndBySignal(int signal)
{
    std::fflush(nullptr);
    if (signal != SIGQUIT) {
        std::signal(signal, SIG_DFL);
        sigset_t only;
        sigemptyset(&only);
        sigaddset(&only, signal);
        pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
        std::raise(signal);
    }
    std::_Exit(128 + signal);
}
