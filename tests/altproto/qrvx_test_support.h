// What the QRVX tests share: a stream set up as the program sets it up, the
// machine-wide tuning file, the current directory for the log, and a clock.
#pragma once

#include <qrvx.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace qrvx_test {

// A context over an open port with its stop event, lock, buffer and
// (optionally) data event, and QRVXReadPort running on a thread of its own.
// The destructor stops the loop, joins it and closes everything, the port too.
class RunningStream {
public:
    explicit RunningStream(void* port, bool withDataEvent = true);
    ~RunningStream();
    RunningStream(const RunningStream&) = delete;
    RunningStream& operator=(const RunningStream&) = delete;

    QRVXContext* context() { return &context_; }
    void requestStop();
    bool loopEnded() const { return ended_; }
    unsigned loopResult() const { return result_; }
    // The unconsumed bytes, taken under the lock.
    std::string unconsumed();
    // Waits until the receive loop has stored `bytes` in total since the last
    // discard (the write position's offset); false after the deadline.
    bool waitForStored(std::size_t bytes, std::chrono::milliseconds deadline = std::chrono::milliseconds(3000));

    // Waits until a consumer has discarded what was received (both positions
    // back at the buffer start); false after the deadline.
    bool waitForDiscard(std::chrono::milliseconds deadline = std::chrono::milliseconds(3000));

private:
    QRVXContext context_{};
    std::vector<char> buffer_;
    std::thread receiver_;
    std::atomic<bool> ended_{false};
    std::atomic<unsigned> result_{0};
};

// Points the machine-wide configuration at `folder` for the scope and writes
// the tuning file there.
class TuningFile {
public:
    explicit TuningFile(const std::string& folder);
    ~TuningFile();
    TuningFile(const TuningFile&) = delete;
    TuningFile& operator=(const TuningFile&) = delete;

    // Writes the group [QRVX] with these lines ("ZeroWaitTime=500", ...).
    void write(const std::vector<std::string>& lines);
    // The defaults, written out (the library keeps values a file leaves out).
    void writeDefaults() { write({"ZeroWaitTime=500", "ZeroSyncWait=400", "ZeroStrLen=0"}); }
    void remove();

private:
    std::string path_;
    bool had_ = false;
    std::string old_;
};

// Makes `folder` the current directory for the scope (the log goes there).
class ScopedCurrentDirectory {
public:
    explicit ScopedCurrentDirectory(const std::string& folder);
    ~ScopedCurrentDirectory();
    ScopedCurrentDirectory(const ScopedCurrentDirectory&) = delete;
    ScopedCurrentDirectory& operator=(const ScopedCurrentDirectory&) = delete;

private:
    std::string previous_;
};

// Milliseconds `action` took.
long long millisecondsOf(const std::function<void()>& action);

std::string readFile(const std::string& path);

}  // namespace qrvx_test
