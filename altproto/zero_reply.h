// The reply of the "G" read-back as it is collected from the stream: bytes
// before the first 'G' are skipped, then everything up to a CR or LF is kept
// and closed with CR LF, within the caller's buffer.
#pragma once

namespace qrvx {

class ZeroReplyCollector {
public:
    enum class Step { More, Complete, Overflow };

    // `buffer` of `size` bytes (at least 3: "G" CR LF), cleared by the caller.
    ZeroReplyCollector(char* buffer, unsigned size) : buffer_(buffer), size_(size) {}

    // Takes the next byte of the stream. Complete once a line end closed the
    // reply; Overflow when the reply would not leave room for its CR LF (the
    // buffer then holds what fitted). Nothing is written past `size` bytes.
    Step feed(char c);

private:
    char* buffer_;
    unsigned size_;
    unsigned length_ = 0;
};

}  // namespace qrvx
