// Finds pauses in a series: an interval of at least ten times the running
// mean of the intervals before it. After a pause the mean starts afresh, and
// its first interval only seeds the mean again.
#pragma once

namespace graph {

class GapDetector {
public:
    // Takes the time of the next point; true when the point follows a pause.
    // The first point never does.
    bool next(long time)
    {
        bool gap = false;
        if (started_) {
            const long long interval = time - previous_;
            if (count_ == 1) {
                mean_ = interval;
            } else if (interval < 10 * mean_) {
                mean_ = (interval + mean_) / 2;
            } else {
                count_ = 0;
                mean_ = 0;
                gap = true;
            }
        }
        started_ = true;
        previous_ = time;
        ++count_;
        return gap;
    }

private:
    bool started_ = false;
    long long count_ = 0;  // points since the last restart
    long long mean_ = 0;   // running mean interval, ms
    long long previous_ = 0;
};

}  // namespace graph
