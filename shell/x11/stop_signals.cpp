#include "shell/x11/stop_signals.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>

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
