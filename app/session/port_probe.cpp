#include "port_probe.h"

#include "platform/handle.h"
#include "platform/serial.h"

#include <algorithm>

QStringList probeQrvxPorts()
{
    QStringList ports;
    for (unsigned n = 1; n <= 99; ++n) {
        const QString path = QString::asprintf("\\\\.\\com%u", n);
        platform::OpenError why = platform::OpenError::None;
        const platform::Handle port = platform::openSerialPort(path.toLatin1().constData(), &why);
        if (platform::isUsableHandle(port))
            platform::closeHandle(port);
        else if (why == platform::OpenError::NotFound)
            continue;
        ports << path;
    }
    std::sort(ports.begin(), ports.end());
    return ports;
}
