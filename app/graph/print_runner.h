// Runs print jobs, each on a worker thread of its own, and lets the window
// know when one has finished. Destroying the runner waits for the jobs that
// still run: a job owns its printer and its copy of the series, so waiting is
// all that keeps it safe.
#pragma once

#include "graph/print_job.h"

#include <QObject>

#include <atomic>
#include <list>
#include <memory>
#include <thread>

namespace graph {

class PrintRunner : public QObject {
    Q_OBJECT

public:
    explicit PrintRunner(QObject* parent = nullptr);
    ~PrintRunner() override;

    void start(std::unique_ptr<PrintJob> job);
    // Jobs started and not yet finished.
    int running() const;

signals:
    // On the runner's thread, after a job has finished.
    void jobFinished();

private:
    struct Worker {
        std::unique_ptr<PrintJob> job;
        std::thread thread;
        std::atomic<bool> done{false};
    };
    void reapFinished();

    std::list<Worker> workers_;
};

}  // namespace graph
