// Replies as a noisy line delivers them, for the fault "garble": in turn a
// bit error in one character (the checksum then disagrees), garbage as long
// as the reply without a frame start, and the reply cut short after half its
// characters. It counts what it did, so that a test can hold a program's
// counts against them.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace sim {

struct SpoilCounts {
    long bitErrors = 0;
    long garbage = 0;
    long cutShort = 0;
    std::map<int, long> byFunction;  // spoiled replies per function of the request

    long total() const { return bitErrors + garbage + cutShort; }
};

class ReplySpoiler {
public:
    // The reply line (":" ... CR LF) to a request of `function`, spoiled.
    std::string spoil(const std::string& line, int function);

    const SpoilCounts& counts() const { return counts_; }
    // Starts counting afresh; the turn of the kinds goes on.
    void resetCounts() { counts_ = {}; }

private:
    char randomChar();

    int next_ = 0;
    std::uint32_t seed_ = 12345;
    SpoilCounts counts_;
};

// "14 replies spoiled (bit error 5, garbage 5, cut short 4; function 4: 11, function 7: 3)"
std::string describeSpoils(const SpoilCounts& counts);

}  // namespace sim
