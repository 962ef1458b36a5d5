// Frame assembly and decoding, without a port.
#include "value_frame.h"

#include <qrvx.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

// Feeds the characters until a frame completes; the frame, or "" when none did.
std::string assemble(const std::string& chars, std::size_t* usedChars = nullptr)
{
    qrvx::FrameAssembler frame;
    for (std::size_t i = 0; i < chars.size(); ++i)
        if (frame.feed(chars[i])) {
            if (usedChars)
                *usedChars = i + 1;
            return std::string(frame.line(), frame.length());
        }
    return "";
}

TEST(FrameAssembly, CutsAFrameAfter128Characters)
{
    const std::string stream = ":" + std::string(200, '7') + "\r\n";
    std::size_t used = 0;
    const std::string frame = assemble(stream, &used);
    EXPECT_EQ(frame, ":" + std::string(127, '7'));
    EXPECT_EQ(used, 128u);
}

TEST(FrameAssembly, KeepsTheLineEndOfA127CharacterFrame)
{
    const std::string stream = ":" + std::string(126, '7') + "\r";
    EXPECT_EQ(assemble(stream), stream + "\n");
}

struct ValueCase {
    const char* name;
    std::string frame;
    int value;
};

void PrintTo(const ValueCase& c, std::ostream* os)
{
    *os << c.name;
}

class FrameValue : public ::testing::TestWithParam<ValueCase> {};

TEST_P(FrameValue, Decodes)
{
    const std::string& f = GetParam().frame;
    EXPECT_EQ(qrvx::frameValue(f.c_str(), f.size()), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, FrameValue,
    ::testing::Values(
        ValueCase{"Example", ":4123454\r\n", 1234},
        // 54 + 256: only the low byte of the checksum counts.
        ValueCase{"ChecksumModulo256", ":41234310\r\n", 1234},
        ValueCase{"NegativeChecksumLowByte", ":41234-202\r\n", 1234},
        ValueCase{"SignedValue", ":2-5" + std::to_string((0x100 - ('-' + '5')) & 0xFF) + "\r\n", -5},
        ValueCase{"LeadingBlankInTheValue", ":2 7" + std::to_string((0x100 - (' ' + '7')) & 0xFF) + "\r\n", 7},
        ValueCase{"NoValueCharacters", ":00\r\n", 0},
        ValueCase{"CountIsTheLineEnd", ":\r\n", QRVX_BAD_FRAME},
        ValueCase{"ColonAsCount", ":::::\r\n", QRVX_BAD_FRAME},
        ValueCase{"CutFrameWithoutLineEnd", ":4123454", 1234}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FrameText, StaysWithinTheCallersSizeAndIsTerminated)
{
    const std::string f = ":4123455\r\n";
    char text[12];
    std::fill(std::begin(text), std::end(text), '#');
    qrvx::writeFrameText(f.c_str(), f.size(), true, text, 8);
    EXPECT_STREQ(text, ":412345");
    EXPECT_EQ(text[8], '#');
    qrvx::writeFrameText(f.c_str(), f.size(), false, text, 0);
    EXPECT_EQ(text[0], ':');
}

TEST(DecimalBits, ReadsLikeAtoiModulo2To32)
{
    EXPECT_EQ(qrvx::decimalBits("54\r\n"), 54u);
    EXPECT_EQ(qrvx::decimalBits("  -3x"), 0xFFFFFFFDu);
    EXPECT_EQ(qrvx::decimalBits("+12"), 12u);
    EXPECT_EQ(qrvx::decimalBits(""), 0u);
    EXPECT_EQ(qrvx::decimalBits("abc"), 0u);
    // 2^32 + 54 keeps the low byte 54.
    EXPECT_EQ(qrvx::decimalBits("4294967350") & 0xFF, 54u);
}

}  // namespace
