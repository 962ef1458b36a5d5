// use_qrvx: calls the QRVX library linked at build time: a port that does
// not exist is refused, a reading without a context reports a stop.
#include <qrvx.h>

#include <cstdio>

int main()
{
    void* port = QRVXOpenPort("COM254");
    char text[64] = {};
    const int value = QRVXReadValue(nullptr, text, sizeof text);
    std::printf("QRVXOpenPort %s, QRVXReadValue %d\n", port == nullptr ? "null" : "open", value);
    return port == nullptr && value == QRVX_STOPPED ? 0 : 1;
}
