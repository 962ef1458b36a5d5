// The in-memory port of the unit tests. A FakeLine is the far end of the line:
// it records what the port writes, purges and does to its modem lines, and
// serves scripted replies. It delivers characters no faster than the port's
// speed allows: its clock (now()) is the machine's steady clock, or the moment
// the last character read would have arrived, whichever is later; the
// exchange's deadlines are measured by it. Registering a line under a device name (COM5) puts
// it in the namespace, so that openSerialPort("COM5") opens a port onto it.
#pragma once

#include "platform/serial.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

class FakeLine {
public:
    // Reads in a row make one Read event: what they took, stamped with the
    // line's clock after the last of them.
    enum class EventKind { Write, Purge, LineFunction, Drain, ApplySettings, Read };
    using Clock = std::chrono::steady_clock;

    struct Event {
        EventKind kind;
        std::string bytes;                     // Write, Read: the bytes
        unsigned purgeFlags = 0;               // Purge: the flags
        LineFunction function = LineFunction::SetDtr;  // LineFunction: which one
        Clock::time_point at{};                // the line's clock when it happened
    };

    // Called with everything written so far that has not yet been answered;
    // returns the bytes the device sends back (possibly none) and what of the
    // written bytes it consumed. The default responder answers each line that
    // ends with LF with the next queued reply.
    using Responder = std::function<std::string(std::string& pending)>;

    FakeLine();

    // Queues one reply for the default responder.
    void queueReply(std::string bytes);
    // Forgets the queued replies and what was written but not yet answered.
    void clearReplies();
    void setResponder(Responder responder);
    // Puts bytes on the receive side at once, as if they had arrived.
    void feed(const std::string& bytes);

    // How the far end behaves beyond its replies. By default the device
    // answers when the port first reads after a request (its turnaround ends
    // as the port starts listening).
    // The device answers while the request is still being written, as a
    // device that answers within a millisecond does on a real line while the
    // driver reports the request as not yet sent.
    void setAnswerWhileWriting(bool on);
    // Everything written comes back on the receive side ahead of the reply,
    // as on a two-wire line.
    void setEcho(bool on);
    // The line is wedged: writes take nothing and drains never end, until
    // the caller's limit.
    void setStalled(bool on);
    // The line has failed (an adapter pulled out): every transfer fails.
    void setFailed(bool on);

    // The line's clock.
    Clock::time_point now() const;

    std::string written() const;
    std::vector<Event> events() const;
    void clearEvents();
    bool dtr() const;
    bool rts() const;
    bool inBreak() const;
    LineSettings settings() const;
    Timeouts timeouts() const;
    bool isOpen() const;

private:
    friend class FakeSerialPort;

    // Under the lock: the clock, and an event stamped with it.
    Clock::time_point nowLocked() const;
    void record(Event event);
    // Under the lock: the line time of `chars` characters of 10 bits.
    std::uint32_t lineTimeUsLocked(std::uint32_t chars) const;
    // Under the lock: `count` characters taken by the port.
    void delivered(const unsigned char* chars, std::uint32_t count);

    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::string receive_;
    std::string written_;
    std::string unanswered_;
    std::string echoed_;  // written bytes whose echo has not arrived yet
    std::deque<std::string> replies_;
    Responder responder_;
    std::vector<Event> events_;
    bool answerWhileWriting_ = false;
    bool echo_ = false;
    bool stalled_ = false;
    bool failed_ = false;
    bool dtr_ = false;
    bool rts_ = false;
    bool break_ = false;
    bool open_ = false;
    LineSettings settings_{};
    Timeouts timeouts_{};
    Clock::time_point lastArrival_{};
};

class FakeSerialPort final : public SerialPort {
public:
    explicit FakeSerialPort(std::shared_ptr<FakeLine> line);
    ~FakeSerialPort() override;

    bool getLineSettings(LineSettings& out) override;
    bool setLineSettings(const LineSettings& settings) override;
    bool getTimeouts(Timeouts& out) override;
    bool setTimeouts(const Timeouts& timeouts) override;
    bool purge(unsigned flags) override;
    bool lineFunction(LineFunction function) override;
    bool drain(std::uint32_t limitMs) override;
    std::uint32_t lineTimeUs(std::uint32_t chars) const override;
    bool read(void* buffer, std::uint32_t size, std::uint32_t& got, std::uint32_t limitMs) override;
    bool readWaiting(void* buffer, std::uint32_t size, std::uint32_t& got) override;
    bool hasBufferedInput() override;
    // None: waits look at hasBufferedInput every millisecond.
    int pollDescriptor() const override { return -1; }
    bool write(const void* data, std::uint32_t size, std::uint32_t& written, std::uint32_t limitMs) override;
    std::chrono::steady_clock::time_point lineClock() const override { return line_->now(); }

private:
    bool readWithin(const Timeouts& timeouts, std::uint32_t limitMs, void* buffer, std::uint32_t size, std::uint32_t& got);
    // The device's answer to what was written, once the port listens; under
    // the line's lock.
    void takeAnswer();

    std::shared_ptr<FakeLine> line_;
};

// Puts a fake line into the namespace under `name` (COM<n>), or takes it out.
void registerFakeDevice(const std::string& name, std::shared_ptr<FakeLine> line);
void unregisterFakeDevice(const std::string& name);

// For the namespace and openSerialPort: the names of registered fake lines,
// and a port onto the line registered under `name`, or null when there is
// none (or when that line is already open).
std::vector<std::string> fakeDeviceNames();
bool isFakeDeviceName(const std::string& name);
std::unique_ptr<SerialPort> openFakeDevice(const std::string& name);

}  // namespace platform
