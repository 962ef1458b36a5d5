#include "graph/print_snapshot.h"

#include <cstring>

namespace graph {

PrintSnapshot snapshotForPrint(TermDataFile* series, long from, long to)
{
    PrintSnapshot snapshot;
    std::memset(&snapshot.device, 0, sizeof snapshot.device);
    if (series == nullptr)
        return snapshot;
    snapshot.begin = *series->GetBeginTime();
    snapshot.device = *series->GetDeviceInfo();
    snapshot.rangeMin = series->GetMin();
    snapshot.rangeMax = series->GetMax();
    snapshot.eCoeff = series->GetECoeff();
    const long count = series->GetCount();
    const v4TermData* records = series->GetTermData();
    if (count <= 0 || records == nullptr)
        return snapshot;
    snapshot.firstTime = records[0].time;
    snapshot.lastTime = records[count - 1].time;
    const v4TermData* first = series->GetFirst(from);
    if (first == nullptr)
        return snapshot;
    const v4TermData* end = first;
    while (end != records + count && end->time <= to)
        ++end;
    if (end != records + count)
        ++end;  // the first record after the window
    snapshot.records.assign(first, end);
    return snapshot;
}

}  // namespace graph
