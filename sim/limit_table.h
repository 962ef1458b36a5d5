// The per-device limit table: records of minimum, maximum, step and extra
// value for the settings words, packed as the device stores them from
// register 768 + base on.
#pragma once

#include <cstdint>
#include <vector>

namespace sim {

struct LimitEntry {
    std::uint16_t min = 0;
    std::uint16_t max = 0;
    std::uint8_t step = 0;
    std::uint16_t extra = 0;
};

// Where a model keeps its table and how many records it holds.
struct TableLayout {
    std::uint16_t base = 0;    // the table starts at register 768 + base
    int entries = 0;           // record positions; the last one is unused
    int lead = 0;              // bytes (and words) before the first record
};

constexpr std::uint16_t kLimitTableRegister = 768;
constexpr int kLimitRecordBytes = 7;

// The layout of a model, or entries == 0 for a model without a table.
TableLayout tableLayoutOf(int type, int variant);

// The number of registers the table occupies: lead + 7 × entries / 2.
int tableWordCount(const TableLayout& layout);

// The registers of the table: `lead` zero bytes, then one 7-byte record per
// entry (minimum, maximum, step, extra; 16-bit values most significant byte
// first), zero records where `entries` runs short, zero padding to whole
// registers. Register i holds bytes 2i and 2i + 1, the first as its high byte.
std::vector<std::uint16_t> packLimitTable(const TableLayout& layout, const std::vector<LimitEntry>& entries);

}  // namespace sim
