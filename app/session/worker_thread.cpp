#include "worker_thread.h"

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
        if (waiting_ != nullptr)
            QMetaObject::invokeMethod(waiting_, &QEventLoop::quit, Qt::QueuedConnection);
    });
}

void WorkerThread::join()
{
    if (!thread_.joinable())
        return;
    {
        QEventLoop loop;
        std::unique_lock<std::mutex> lock(mutex_);
        if (running_) {
            waiting_ = &loop;
            lock.unlock();
            loop.exec(QEventLoop::ExcludeUserInputEvents);
            lock.lock();
            waiting_ = nullptr;
        }
    }
    thread_.join();
}
