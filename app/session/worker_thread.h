// One worker thread of a session. The session joins it before it closes what
// the worker uses; while it waits it keeps handling its events, other than
// the operator's input, so that message boxes the worker asks for are shown
// and answered and nothing deadlocks. A join that starts while another join
// of the same worker waits (from an event handled meanwhile) waits as well
// and both return once the worker has ended.
#pragma once

#include <QEventLoop>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class WorkerThread {
public:
    WorkerThread() = default;
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // True from start() until the body has returned.
    bool running() const { return running_.load(); }

    // Starts `body` on a new thread; a previous body is joined first.
    void start(std::function<void()> body);

    // Waits until the body has returned and the thread has ended.
    void join();

private:
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::mutex mutex_;
    // The event loops of the joins waiting for the body, innermost last.
    std::vector<QEventLoop*> waiting_;
};
