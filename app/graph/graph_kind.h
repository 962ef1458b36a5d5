// The two kinds of graph window: the temperature of a series, or the raw
// quantum counts of its sensor. Owners pass the kind as a number (0 or 1).
#pragma once

namespace graph {

enum class GraphKind : unsigned char { Temperature = 0, Quantum = 1 };

}  // namespace graph
