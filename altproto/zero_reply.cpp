#include "zero_reply.h"

namespace qrvx {

ZeroReplyCollector::Step ZeroReplyCollector::feed(char c)
{
    if (length_ == 0) {
        if (c == 'G' && size_ >= 3)
            buffer_[length_++] = c;
        return Step::More;
    }
    if (c == '\r' || c == '\n') {
        buffer_[length_] = '\r';
        buffer_[length_ + 1] = '\n';
        return Step::Complete;
    }
    // Each character must leave room for CR LF behind it. A packet of length
    // L sends L - 3 bytes, so a reply echoing them fills exactly L.
    if (length_ + 3 > size_)
        return Step::Overflow;
    buffer_[length_++] = c;
    return Step::More;
}

}  // namespace qrvx
