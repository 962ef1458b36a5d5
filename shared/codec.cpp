// Checksum, hexadecimal and byte-order helpers of the line protocols.
#include "Shared.h"

namespace Shared {

unsigned char LRC(const char* bytes, char count)
{
    const unsigned n = static_cast<unsigned char>(count);
    unsigned char sum = 0;
    for (unsigned i = 0; i < n; ++i)
        sum = static_cast<unsigned char>(sum + static_cast<unsigned char>(bytes[i]));
    return static_cast<unsigned char>(-sum);
}

namespace {

unsigned char digitValue(char c)
{
    if (c >= '0' && c <= '9')
        return static_cast<unsigned char>(c - '0');
    if (c >= 'A' && c <= 'F')
        return static_cast<unsigned char>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f')
        return static_cast<unsigned char>(c - 'a' + 10);
    return 0;
}

}  // namespace

unsigned char hex2bin(const char* digits)
{
    return static_cast<unsigned char>(digitValue(digits[0]) << 4 | digitValue(digits[1]));
}

void swapBytes(unsigned short* words, int count)
{
    for (int i = 0; i < count; ++i)
        words[i] = static_cast<unsigned short>(words[i] << 8 | words[i] >> 8);
}

}  // namespace Shared
