// What a print job needs of a series, copied on the user-interface thread
// when the print command runs: the job then reads its own copy while the
// owner goes on adding readings, clears the series or reads a file into it.
#pragma once

#include <kcmb.h>

#include <optional>
#include <vector>

namespace graph {

struct PrintSnapshot {
    // The records from the first at or after the window's start up to and
    // including the first after its end, or up to the series' last record.
    std::vector<v4TermData> records;
    // Times of the series' first and last records; none for an empty series.
    std::optional<long> firstTime;
    std::optional<long> lastTime;
    platform::SystemTime begin{};
    v2DeviceInfo device{};
    long rangeMin = 0;
    long rangeMax = 0;
    double eCoeff = 100.0;
};

// The snapshot of `series` (null gives an empty one) for the time window
// from..to, read up to the series' published count.
PrintSnapshot snapshotForPrint(TermDataFile* series, long from, long to);

}  // namespace graph
