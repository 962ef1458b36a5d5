#include "stop_signals.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <pthread.h>

namespace tools {

namespace {

sigset_t stopSet()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

StopSignals::StopSignals()
{
    const sigset_t set = stopSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

bool StopSignals::wait(std::uint32_t ms)
{
    if (stopped_)
        return true;
    const sigset_t set = stopSet();
    timespec timeout{static_cast<std::time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    int signal;
    do
        signal = sigtimedwait(&set, nullptr, &timeout);
    while (signal < 0 && errno == EINTR);
    stopped_ = signal > 0;
    return stopped_;
}

}  // namespace tools
