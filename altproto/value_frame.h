// The value frame of the stream: ":" D value checksum CR LF, with D the count
// of value characters and the checksum the decimal LRC of those characters.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qrvx {

// A frame is cut after this many characters.
constexpr std::size_t kMaxFrameChars = 128;
// No more value characters than this are ever used.
constexpr std::size_t kMaxValueChars = 20;

// Collects the characters of one frame from the stream. A ':' starts a frame
// when it is the first character seen or follows CR or LF; other characters
// outside a frame are ignored. CR or LF ends the frame and is kept as CR LF.
class FrameAssembler {
public:
    // Takes the next character; true once the frame is complete.
    bool feed(char c);

    // The frame so far, zero-terminated.
    const char* line() const { return line_; }
    std::size_t length() const { return length_; }

private:
    void append(char c);

    // 127 characters and the CR LF that completes them, and the zero.
    char line_[kMaxFrameChars + 2] = {};
    std::size_t length_ = 0;
    bool inFrame_ = false;
    int previous_ = -1;  // -1 before the first character
};

// The value of a complete frame, or -2 (QRVX_BAD_FRAME) when its checksum
// does not match or it is not well formed: the character after ':' is no
// digit, or the line ends before its D value characters do.
int frameValue(const char* line, std::size_t length);

// Writes the frame into `text` (at most `size` bytes, terminated when size is
// above 0). A marked frame loses its CR LF and gets " LRC error \r\n" instead.
void writeFrameText(const char* line, std::size_t length, bool marked, char* text, unsigned size);

// The number of a decimal text read like atoi (leading blanks, one sign,
// digits up to the first other character), modulo 2^32, so that its low byte
// is right however long the text.
std::uint32_t decimalBits(const char* text);

}  // namespace qrvx
