// The series line summarised per pixel column, kept up to date as readings
// arrive. Each column holds the first, lowest, highest and last point of
// the records that fall into it (a pause inside a column starts a second
// run there), which is all the column merge of PolylineBuilder looks at: so
// the segments drawn from the summary are those of buildSeriesSegments.
//
// A reading at an unchanged scale changes the last column or opens the next.
// A new scale (the rulers moved or zoomed, a span scrolled, the view was
// resized) builds the summary afresh from the series index: a search and a
// tree query per column, O(columns * log n), never a visit of every record.
// The columns of the build before guide it: a column's last record is looked
// for beside where a column ended then, and a column that holds nearly the
// records of one then takes its extremes from it. A series shown whole or
// scrolling changes scale by a hair with every reading, so that most columns
// cost a look at two neighbouring records. Drawing costs O(columns).
#pragma once

#include "graph/graph_kind.h"
#include "graph/polyline_builder.h"
#include "graph/series_index.h"
#include "graph/series_walk.h"

#include <kcmb.h>

#include <optional>
#include <vector>

namespace graph {

// The records of one pixel column up to a pause (or all of them).
struct ColumnRun {
    int x;
    int firstY, lowY, highY, lastY;
    bool lift;  // the line is lifted before the run: it follows a pause
    bool operator==(const ColumnRun& o) const
    {
        return x == o.x && firstY == o.firstY && lowY == o.lowY && highY == o.highY && lastY == o.lastY &&
               lift == o.lift;
    }
};

class ColumnSummary {
public:
    // Brings the summary to `series` as the view walks it at `scale`; see
    // buildSeriesSegments for which records are walked.
    void update(TermDataFile& series, const SeriesScale& scale, GraphKind kind, bool breakAtGaps);
    // Forgets the series, for another one at the same place.
    void clear();
    // The automatic limits of `series` over the times [from, to], from the
    // summary's index: SeriesIndex::nonZeroLimits.
    std::optional<ValueLimits> valueLimits(TermDataFile& series, GraphKind kind, long from, long to);

    const std::vector<ColumnRun>& runs() const { return runs_; }
    // Appends the line's segments to `out`.
    void segments(std::vector<Segment>& out) const;
    // How often the summary was built afresh, for the benchmarks and tests.
    long rebuilds() const { return rebuilds_; }

private:
    struct Key {
        SeriesScale scale;
        GraphKind kind = GraphKind::Temperature;
        bool breakAtGaps = false;
        long rangeMin = 0;
        long rangeMax = 0;
        bool operator==(const Key& o) const;
    };

    // The records of a run built from the index, with their extremes, kept
    // to guide the next build.
    struct RunRecords {
        long begin;
        long end;
        Extremes extremes;
    };

    void rebuild(bool afresh);
    void buildColumns(long end);
    long columnEnd(long first, long end, int x);
    long guessedEnd(long first, long end);
    Extremes extremesOf(long begin, long end);
    void extend();
    void append(long record);
    void addRun(long begin, long end, bool lift);
    bool isPause(long record);
    int xOf(long record) const;
    long recorded(long record) const;
    int yOf(long value) const;
    long plotted(long value) const;

    SeriesIndex index_;
    Key key_;
    bool built_ = false;
    std::vector<ColumnRun> runs_;
    std::vector<RunRecords> builtRuns_;
    std::vector<RunRecords> before_;  // the runs of the build before
    std::size_t nextBefore_ = 0;      // the first of them that may still guide this build
    long start_ = -1;  // the walk's first record; -1 while no record reached the window
    long next_ = 0;    // the next record to walk
    bool closed_ = false;  // the walk took the first record beyond the window's end
    GapWalk pauses_;
    long nextPause_ = -1;
    long rebuilds_ = 0;
};

}  // namespace graph
