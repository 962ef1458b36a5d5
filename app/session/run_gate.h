// The runs of a session: every connection, pause, resume and stop begins a
// new one, and what a worker thread reports reaches the session only while
// the run it was started in is still the current one. So nothing queued
// before a disconnect, a pause or a quit ever acts after it.
#pragma once

#include <QMetaObject>
#include <QObject>

#include <cstdint>
#include <utility>

class RunGate {
public:
    using Run = std::uint64_t;

    Run current() const { return current_; }
    // Ends the current run; reports of it are dropped from now on.
    Run next() { return ++current_; }
    bool isCurrent(Run run) const { return run == current_; }

    // Calls `report` on `receiver`'s thread, from any thread, unless the run
    // `run` has ended by the time it gets there.
    template <class Report>
    void deliver(QObject* receiver, Run run, Report&& report) const
    {
        QMetaObject::invokeMethod(
            receiver,
            [this, run, report = std::forward<Report>(report)]() mutable {
                if (isCurrent(run))
                    report();
            },
            Qt::QueuedConnection);
    }

private:
    // Read and written on the session's thread only.
    Run current_ = 0;
};
