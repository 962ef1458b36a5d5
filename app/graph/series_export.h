// The series as a text file, one line per reading with its clock time, its
// temperature (and in a quantum graph its count) and its emissivity, each
// line ending in CR LF; no header, no date.
#pragma once

#include "graph/graph_kind.h"
#include "graph/graph_time.h"

#include <kcmb.h>

#include <string>

namespace graph {

// "hh:mm:ss.mmm temperature emissivity" or, in a quantum graph,
// "hh:mm:ss.mmm temperature count emissivity", all time fields zero-padded
// and the emissivity with two decimals: "10:15:02.500 812 0.95\r\n".
std::string exportLine(GraphKind kind, const v4TermData& record, const ClockTime& clock, double eCoeff);

enum class TextExport {
    Written,
    // The file could not be created.
    NotCreated,
    // A write failed (a full disk): nothing is left under the name, and an
    // old file there is as it was.
    NotWritten,
};

// Writes every record of `series` (null or empty: none), read up to its
// published count, into a new file at `path`, which replaces an old one
// only once the whole text is written (through the temporary file
// `path`.part beside it).
TextExport saveSeriesText(const std::string& path, TermDataFile* series, GraphKind kind);

}  // namespace graph
