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

    // Whether both detectors, standing on the same point, judge every later
    // point alike: both about to seed their mean afresh, or both with the same mean.
    bool sameFutureAs(const GapDetector& other) const
    {
        if (started_ != other.started_ || previous_ != other.previous_)
            return false;
        const bool seeding = count_ <= 1;
        if (seeding != (other.count_ <= 1))
            return false;
        return seeding || mean_ == other.mean_;
    }

private:
    bool started_ = false;
    long long count_ = 0;  // points since the last restart
    long long mean_ = 0;   // running mean interval, ms
    long long previous_ = 0;
};

}  // namespace graph
