// The two kinds of graph window: the temperature of a series, or the raw
// quantum counts of its sensor. Window messages carry the kind as a number
// (0 or 1).
#pragma once

#include <cstdint>
#include <optional>

namespace graph {

enum class GraphKind : unsigned char { Temperature = 0, Quantum = 1 };

inline std::uintptr_t messageNumberOf(GraphKind kind)
{
    return static_cast<std::uintptr_t>(kind);
}

// The kind a message's number names; none for another number.
inline std::optional<GraphKind> graphKindOf(std::uintptr_t number)
{
    if (number > messageNumberOf(GraphKind::Quantum))
        return std::nullopt;
    return static_cast<GraphKind>(number);
}

}  // namespace graph
