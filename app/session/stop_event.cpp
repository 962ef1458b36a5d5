#include "session/stop_event.h"

#include "platform/sync.h"

platform::Handle createStopEvent()
{
    return platform::createEvent("EndReadThread", true, true);
}
