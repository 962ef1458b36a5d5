#include "reply_spoiler.h"

#include "ascii_frame.h"

namespace sim {

char ReplySpoiler::randomChar()
{
    // A small linear congruential generator: the garbage is the same in every run.
    seed_ = seed_ * 1103515245u + 12345u;
    char c = static_cast<char>(0x20 + (seed_ >> 16) % 0x5F);
    return c == ':' ? ';' : c;
}

std::string ReplySpoiler::spoil(const std::string& line, int function)
{
    std::string out = line;
    const int kind = next_;
    next_ = (next_ + 1) % 3;
    ++counts_.byFunction[function];
    switch (kind) {
    case 0: {
        // One bit of one character in the middle of the frame: a hex digit
        // stays a hex digit, the byte it belongs to changes in one bit.
        const std::size_t at = out.size() / 2;
        const int nibble = at > 0 && at + 2 < out.size() ? hexDigitValue(out[at]) : -1;
        if (nibble >= 0)
            out[at] = "0123456789ABCDEF"[nibble ^ 1];
        ++counts_.bitErrors;
        break;
    }
    case 1:
        for (std::size_t i = 0; i + 2 < out.size(); ++i)
            out[i] = randomChar();
        ++counts_.garbage;
        break;
    default:
        out.resize(out.size() / 2);
        ++counts_.cutShort;
        break;
    }
    return out;
}

std::string describeSpoils(const SpoilCounts& counts)
{
    std::string text = std::to_string(counts.total()) + " replies spoiled (bit error " + std::to_string(counts.bitErrors)
        + ", garbage " + std::to_string(counts.garbage) + ", cut short " + std::to_string(counts.cutShort);
    for (const auto& [function, n] : counts.byFunction)
        text += (function == counts.byFunction.begin()->first ? "; " : ", ") + std::string("function ")
            + std::to_string(function) + ": " + std::to_string(n);
    return text + ")";
}

}  // namespace sim
