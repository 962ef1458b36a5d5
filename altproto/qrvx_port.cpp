// Opening a QRVX port and the receive loop that fills a context's buffer.
#include "qrvx.h"

#include "context_buffer.h"

#include <kcmb.h>

#include "platform/port_wait.h"
#include "platform/serial.h"
#include "platform/sync.h"

#include <cstring>
#include <vector>

namespace {

// A one-byte read of the port returns at once when a byte is waiting and
// otherwise after at most this long.
constexpr std::uint32_t kReadTimeoutMs = 10;

bool configure(platform::Handle port)
{
    platform::LineSettings settings;
    if (!platform::getLineSettings(port, settings)
        && !platform::buildLineSettings("baud=9600 parity=N data=8 stop=1", settings))
        return false;
    settings.baudRate = 9600;
    settings.dataBits = 8;
    settings.parity = platform::Parity::None;
    settings.stopBits = platform::StopBits::One;
    settings.dtrControl = platform::LineControl::Disable;
    settings.rtsControl = platform::LineControl::Disable;
    settings.xonLimit = 80;
    settings.xoffLimit = 200;
    if (!platform::setLineSettings(port, settings))
        return false;
    const platform::Timeouts timeouts{platform::kMaxTimeout, 0, kReadTimeoutMs, 1, 100};
    // The port's event mask (carrier and line errors) is not set: nothing
    // here waits for port events, and termios has no counterpart of it.
    return platform::setTimeouts(port, timeouts);
}

}  // namespace

void* QRVXOpenPort(const char* name)
{
    if (name == nullptr)
        return nullptr;
    // Room for "\\.\com<n>" whatever the name, and for a path given as it is.
    std::vector<char> path(std::strlen(name) + 32);
    PreparePortName(path.data(), name, path.size());
    platform::Handle port = platform::openSerialPort(path.data());
    if (!platform::isUsableHandle(port))
        return nullptr;
    // Clearing pending line errors and sizing the driver's queues have no
    // termios counterpart: the kernel keeps no error state to clear and sizes
    // its queues itself. The purge and the break remain.
    platform::purgePort(port, platform::kPurgeTxAbort | platform::kPurgeRxAbort | platform::kPurgeTxClear
                                  | platform::kPurgeRxClear);
    platform::lineFunction(port, platform::LineFunction::SetBreak);
    const bool ready = configure(port);
    platform::lineFunction(port, platform::LineFunction::ClearBreak);
    if (ready)
        return port;
    platform::closeHandle(port);
    return nullptr;
}

unsigned QRVXReadPort(QRVXContext* context)
{
    if (context == nullptr || !platform::isUsableHandle(context->lock)
        || !platform::isUsableHandle(context->stopEvent))
        return 0xFFFFFFFFu;
    // Everything waiting is taken in one read and stored under one hold of
    // the lock, so that a loop woken late catches up with the line at once.
    char chunk[QRVX_BUFFER_SIZE];
    while (qrvx::contextUsable(context)) {
        // An idle line costs nothing: the loop sleeps until bytes or the stop
        // request come.
        const int woke = platform::waitForPortOrEvents(context->port, &context->stopEvent, 1, platform::kInfinite);
        if (woke == 0)
            break;
        std::uint32_t got = 0;
        if (woke < 0 || !platform::readWaiting(context->port, chunk, sizeof chunk, got)) {
            // A failed line (adapter unplugged, bad handle) fails every wait
            // and read at once; waiting out the read time-out keeps the loop
            // from spinning while it stays responsive to the stop event.
            platform::waitForEvent(context->stopEvent, kReadTimeoutMs);
            continue;
        }
        if (got > 0 && !qrvx::storeBytes(*context, chunk, got))
            break;
    }
    return 0;
}
