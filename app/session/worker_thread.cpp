#include "session/worker_thread.h"

#include <algorithm>

WorkerThread::~WorkerThread()
{
    join();
}

void WorkerThread::start(std::function<void()> body)
{
    join();
    running_ = true;
    thread_ = std::thread([this, body = std::move(body)] {
        body();
        std::lock_guard<std::mutex> lock(mutex_);
        running_ = false;
        for (QEventLoop* loop : waiting_)
            QMetaObject::invokeMethod(loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
}

void WorkerThread::join()
{
    {
        QEventLoop loop;
        std::unique_lock<std::mutex> lock(mutex_);
        if (running_) {
            waiting_.push_back(&loop);
            lock.unlock();
            loop.exec(QEventLoop::ExcludeUserInputEvents);
            lock.lock();
            waiting_.erase(std::find(waiting_.begin(), waiting_.end(), &loop));
        }
    }
    // The thread object is joined once, by whichever join gets here first.
    if (thread_.joinable() && !running_)
        thread_.join();
}
