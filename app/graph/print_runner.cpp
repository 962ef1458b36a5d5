#include "graph/print_runner.h"

namespace graph {

PrintRunner::PrintRunner(QObject* parent) : QObject(parent) {}

PrintRunner::~PrintRunner()
{
    for (Worker& worker : workers_)
        worker.thread.join();
}

void PrintRunner::start(std::unique_ptr<PrintJob> job)
{
    reapFinished();
    Worker& worker = workers_.emplace_back();
    worker.job = std::move(job);
    worker.thread = std::thread([this, &worker] {
        worker.job->PrintThreadProc();
        worker.done.store(true, std::memory_order_release);
        // Queued to the runner's thread; dropped if the runner is gone by then.
        QMetaObject::invokeMethod(
            this,
            [this] {
                reapFinished();
                emit jobFinished();
            },
            Qt::QueuedConnection);
    });
}

int PrintRunner::running() const
{
    int count = 0;
    for (const Worker& worker : workers_)
        count += worker.done.load(std::memory_order_acquire) ? 0 : 1;
    return count;
}

void PrintRunner::reapFinished()
{
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (it->done.load(std::memory_order_acquire)) {
            it->thread.join();
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace graph
