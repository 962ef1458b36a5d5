// Reading one value from the stream.
#include "qrvx.h"

#include "context_buffer.h"
#include "value_frame.h"

int QRVXReadValue(QRVXContext* context, char* text, unsigned size)
{
    if (!qrvx::contextUsable(context))
        return QRVX_STOPPED;
    // The value comes from a frame that starts after the call.
    qrvx::discardReceived(*context);
    // The frame is assembled per call, so consumers of different contexts may
    // read at the same time.
    qrvx::FrameAssembler frame;
    for (;;) {
        char c = 0;
        if (qrvx::nextByte(*context, c, qrvx::Deadline::never()) != qrvx::Take::Byte)
            return QRVX_STOPPED;
        if (frame.feed(c))
            break;
    }
    const int value = qrvx::frameValue(frame.line(), frame.length());
    qrvx::writeFrameText(frame.line(), frame.length(), value == QRVX_BAD_FRAME, text, size);
    return value;
}
