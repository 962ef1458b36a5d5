// The QRVX stream with arbitrary bytes: frames assembled from it, their values
// and texts, and the "G" read-back reply, each within the caller's buffer.
#include "value_frame.h"
#include "zero_reply.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kCanary = '\x5A';
constexpr unsigned kRoom = 16;

void require(bool condition)
{
    if (!condition)
        std::abort();
}

// A buffer of `size` bytes with canaries behind it.
struct Guarded {
    explicit Guarded(unsigned size) : bytes(size + kRoom, kCanary), size(size) {}
    void check() const
    {
        for (unsigned i = size; i < bytes.size(); ++i)
            require(bytes[i] == kCanary);
    }
    std::vector<char> bytes;
    unsigned size;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const unsigned textSize = data[0];
    const unsigned zeroSize = data[1];
    const char* stream = reinterpret_cast<const char*>(data + 2);
    const std::size_t length = size - 2;

    qrvx::FrameAssembler frames;
    for (std::size_t i = 0; i < length; ++i) {
        if (!frames.feed(stream[i]))
            continue;
        require(frames.length() <= qrvx::kMaxFrameChars + 1);
        const int value = qrvx::frameValue(frames.line(), frames.length());
        Guarded text(textSize);
        qrvx::writeFrameText(frames.line(), frames.length(), value == -2, text.bytes.data(), textSize);
        text.check();
        if (textSize > 0)
            require(std::memchr(text.bytes.data(), '\0', textSize) != nullptr);
        frames = qrvx::FrameAssembler();
    }

    Guarded reply(zeroSize);
    std::memset(reply.bytes.data(), 0, zeroSize);
    qrvx::ZeroReplyCollector collector(reply.bytes.data(), zeroSize);
    for (std::size_t i = 0; i < length; ++i)
        if (collector.feed(stream[i]) != qrvx::ZeroReplyCollector::Step::More)
            break;
    reply.check();
    qrvx::decimalBits(std::string(stream, length).c_str());
    return 0;
}
