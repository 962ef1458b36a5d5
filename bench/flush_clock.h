// The time from a reading's receipt to its pixels going out: the end of the
// first flush of each watched window after the reading, the later of them,
// among the windows that flush before the next reading (a window with
// nothing to show flushes nothing). Each window's update requests are
// handled inside the clock's filter, so that the time taken after one is
// that of the end of its paint and flush. Readings that come before any
// flush are timed from the first.
#pragma once

#include <QEvent>
#include <QObject>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <map>
#include <vector>

namespace bench {

class FlushClock : public QObject {
public:
    explicit FlushClock(std::vector<QWidget*> windows) : windows_(std::move(windows))
    {
        for (QWidget* window : windows_)
            window->installEventFilter(this);
    }
    ~FlushClock() override
    {
        for (QWidget* window : windows_)
            window->removeEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::UpdateRequest || inside_ ||
            std::find(windows_.begin(), windows_.end(), watched) == windows_.end())
            return false;
        inside_ = true;
        watched->event(event);
        inside_ = false;
        if (pending_ && firstFlush_.count(watched) == 0)
            firstFlush_[watched] = Clock::now();
        return true;
    }

    // A reading was received now.
    void received()
    {
        close();
        if (pending_)
            return;
        receivedAt_ = Clock::now();
        pending_ = true;
        firstFlush_.clear();
    }

    // Ends the timing of the last reading.
    void finish() { close(); }

    std::vector<double> latencies;  // ms

private:
    using Clock = std::chrono::steady_clock;

    void close()
    {
        if (!pending_ || firstFlush_.empty())
            return;
        Clock::time_point last = receivedAt_;
        for (const auto& [window, at] : firstFlush_)
            last = std::max(last, at);
        latencies.push_back(std::chrono::duration<double, std::milli>(last - receivedAt_).count());
        pending_ = false;
    }

    std::vector<QWidget*> windows_;
    bool inside_ = false;
    bool pending_ = false;
    Clock::time_point receivedAt_;
    std::map<QObject*, Clock::time_point> firstFlush_;
};

// The value below which the share `p` of `values` lies.
inline double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

}  // namespace bench
