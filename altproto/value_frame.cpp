#include "value_frame.h"

#include "qrvx.h"

#include <Shared.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

namespace qrvx {

namespace {

bool isLineEnd(int c)
{
    return c == '\r' || c == '\n';
}

}  // namespace

bool FrameAssembler::feed(char c)
{
    bool complete = false;
    if (c == ':' && (previous_ == -1 || isLineEnd(previous_))) {
        inFrame_ = true;
        length_ = 0;
        append(':');
    } else if (inFrame_) {
        if (isLineEnd(c)) {
            append('\r');
            append('\n');
            complete = true;
        } else {
            append(c);
        }
    }
    previous_ = static_cast<unsigned char>(c);
    return complete || (inFrame_ && length_ >= kMaxFrameChars);
}

void FrameAssembler::append(char c)
{
    if (length_ + 1 < sizeof line_)
        line_[length_++] = c;
    line_[length_] = '\0';
}

std::uint32_t decimalBits(const char* text)
{
    while (std::isspace(static_cast<unsigned char>(*text)))
        ++text;
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+')
        ++text;
    std::uint32_t n = 0;
    for (; std::isdigit(static_cast<unsigned char>(*text)); ++text)
        n = n * 10u + static_cast<std::uint32_t>(*text - '0');
    return negative ? 0u - n : n;
}

int frameValue(const char* line, std::size_t length)
{
    const bool endsLine = length >= 2 && line[length - 2] == '\r' && line[length - 1] == '\n';
    const std::size_t textEnd = endsLine ? length - 2 : length;
    if (textEnd < 2 || !std::isdigit(static_cast<unsigned char>(line[1])))
        return QRVX_BAD_FRAME;
    const std::size_t count = static_cast<std::size_t>(line[1] - '0');
    if (2 + count > textEnd)
        return QRVX_BAD_FRAME;
    char field[kMaxValueChars + 1] = {};
    const std::size_t used = std::min(count, kMaxValueChars);
    std::memcpy(field, line + 2, used);
    const auto value = static_cast<int>(decimalBits(field));
    const auto checksum = static_cast<unsigned char>(decimalBits(line + 2 + count));
    if (checksum != Shared::LRC(field, static_cast<char>(used)))
        return QRVX_BAD_FRAME;
    return value;
}

void writeFrameText(const char* line, std::size_t length, bool marked, char* text, unsigned size)
{
    if (text == nullptr || size == 0)
        return;
    std::string shown(line, length);
    if (marked) {
        if (shown.size() >= 2 && shown.compare(shown.size() - 2, 2, "\r\n") == 0)
            shown.resize(shown.size() - 2);
        shown += " LRC error \r\n";
    }
    const std::size_t n = std::min<std::size_t>(shown.size(), size - 1);
    std::memcpy(text, shown.data(), n);
    text[n] = '\0';
}

}  // namespace qrvx
