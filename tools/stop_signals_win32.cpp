// Ctrl+C, Ctrl+Break and the closing of the console window as a request to
// stop: the console's handler signals an event that the program's waits take
// up, instead of the process ending at once.
#include "stop_signals.h"

#include <windows.h>

namespace tools {

namespace {

HANDLE stopEvent()
{
    static const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return event;
}

BOOL WINAPI onConsoleEvent(DWORD type)
{
    switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        ::SetEvent(stopEvent());
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

StopSignals::StopSignals()
{
    stopEvent();
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

bool StopSignals::wait(std::uint32_t ms)
{
    if (!stopped_)
        stopped_ = ::WaitForSingleObject(stopEvent(), ms) == WAIT_OBJECT_0;
    return stopped_;
}

}  // namespace tools
