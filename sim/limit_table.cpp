#include "limit_table.h"

namespace sim {

TableLayout tableLayoutOf(int type, int variant)
{
    switch (type) {
    case 0: case 1: case 2: return {123, 9, 1};
    case 3: return {220, 11, 1};
    case 6: return {247, 11, 0};
    case 131: return variant == 0 ? TableLayout{127, 9, 1} : TableLayout{128, 11, 1};
    case 135: return {130, 14, 1};
    default: return {};
    }
}

int tableWordCount(const TableLayout& layout)
{
    return layout.lead + kLimitRecordBytes * layout.entries / 2;
}

std::vector<std::uint16_t> packLimitTable(const TableLayout& layout, const std::vector<LimitEntry>& entries)
{
    std::vector<std::uint8_t> bytes(2 * static_cast<std::size_t>(tableWordCount(layout)), 0);
    for (int i = 0; i < layout.entries && i < static_cast<int>(entries.size()); ++i) {
        const LimitEntry& e = entries[static_cast<std::size_t>(i)];
        const std::size_t at = static_cast<std::size_t>(layout.lead + kLimitRecordBytes * i);
        const std::uint8_t record[kLimitRecordBytes] = {
            static_cast<std::uint8_t>(e.min >> 8), static_cast<std::uint8_t>(e.min),
            static_cast<std::uint8_t>(e.max >> 8), static_cast<std::uint8_t>(e.max),
            e.step,
            static_cast<std::uint8_t>(e.extra >> 8), static_cast<std::uint8_t>(e.extra),
        };
        for (int k = 0; k < kLimitRecordBytes && at + k < bytes.size(); ++k)
            bytes[at + k] = record[k];
    }
    std::vector<std::uint16_t> registers(bytes.size() / 2);
    for (std::size_t i = 0; i < registers.size(); ++i)
        registers[i] = static_cast<std::uint16_t>(bytes[2 * i] << 8 | bytes[2 * i + 1]);
    return registers;
}

}  // namespace sim
