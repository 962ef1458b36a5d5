#include "platform/fake_serial_port.h"

#include "platform/device_names.h"
#include "read_timer.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <utility>

namespace platform {

FakeLine::FakeLine()
{
    responder_ = [this](std::string& pending) {
        const auto lf = pending.find('\n');
        if (lf == std::string::npos)
            return std::string();
        pending.erase(0, lf + 1);
        if (replies_.empty())
            return std::string();
        std::string reply = std::move(replies_.front());
        replies_.pop_front();
        return reply;
    };
}

void FakeLine::queueReply(std::string bytes)
{
    std::lock_guard<std::mutex> lock(mutex_);
    replies_.push_back(std::move(bytes));
}

void FakeLine::clearReplies()
{
    std::lock_guard<std::mutex> lock(mutex_);
    replies_.clear();
    unanswered_.clear();
    echoed_.clear();
}

void FakeLine::setResponder(Responder responder)
{
    std::lock_guard<std::mutex> lock(mutex_);
    responder_ = std::move(responder);
}

void FakeLine::feed(const std::string& bytes)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        receive_ += bytes;
    }
    arrived_.notify_all();
}

void FakeLine::setAnswerWhileWriting(bool on)
{
    std::lock_guard<std::mutex> lock(mutex_);
    answerWhileWriting_ = on;
}

void FakeLine::setEcho(bool on)
{
    std::lock_guard<std::mutex> lock(mutex_);
    echo_ = on;
}

void FakeLine::setStalled(bool on)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stalled_ = on;
    }
    arrived_.notify_all();
}

void FakeLine::setFailed(bool on)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        failed_ = on;
    }
    arrived_.notify_all();
}

FakeLine::Clock::time_point FakeLine::now() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return nowLocked();
}

FakeLine::Clock::time_point FakeLine::nowLocked() const
{
    return std::max(Clock::now(), lastArrival_);
}

std::uint32_t FakeLine::lineTimeUsLocked(std::uint32_t chars) const
{
    const std::uint32_t baud = settings_.baudRate == 0 ? 9600 : settings_.baudRate;
    return static_cast<std::uint32_t>(std::uint64_t{chars} * 10 * 1000000 / baud);
}

void FakeLine::record(Event event)
{
    event.at = nowLocked();
    events_.push_back(std::move(event));
}

void FakeLine::delivered(const unsigned char* chars, std::uint32_t count)
{
    if (count == 0)
        return;
    lastArrival_ = nowLocked() + std::chrono::microseconds(lineTimeUsLocked(count));
    const std::string bytes(reinterpret_cast<const char*>(chars), count);
    if (!events_.empty() && events_.back().kind == EventKind::Read) {
        events_.back().bytes += bytes;
        events_.back().at = nowLocked();
    } else {
        record({EventKind::Read, bytes, 0, LineFunction::SetDtr});
    }
}

std::string FakeLine::written() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return written_;
}

std::vector<FakeLine::Event> FakeLine::events() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
}

void FakeLine::clearEvents()
{
    std::lock_guard<std::mutex> lock(mutex_);
    events_.clear();
    written_.clear();
}

bool FakeLine::dtr() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return dtr_;
}

bool FakeLine::rts() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return rts_;
}

bool FakeLine::inBreak() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return break_;
}

LineSettings FakeLine::settings() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return settings_;
}

Timeouts FakeLine::timeouts() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return timeouts_;
}

bool FakeLine::isOpen() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return open_;
}

FakeSerialPort::FakeSerialPort(std::shared_ptr<FakeLine> line) : line_(std::move(line))
{
    std::lock_guard<std::mutex> lock(line_->mutex_);
    line_->open_ = true;
}

FakeSerialPort::~FakeSerialPort()
{
    std::lock_guard<std::mutex> lock(line_->mutex_);
    line_->open_ = false;
}

bool FakeSerialPort::getLineSettings(LineSettings& out)
{
    std::lock_guard<std::mutex> lock(line_->mutex_);
    out = line_->settings_;
    return true;
}

bool FakeSerialPort::setLineSettings(const LineSettings& settings)
{
    std::lock_guard<std::mutex> lock(line_->mutex_);
    line_->settings_ = settings;
    if (settings.dtrControl != LineControl::Handshake)
        line_->dtr_ = settings.dtrControl == LineControl::Enable;
    if (settings.rtsControl != LineControl::Handshake)
        line_->rts_ = settings.rtsControl == LineControl::Enable;
    line_->record({FakeLine::EventKind::ApplySettings, {}, 0, LineFunction::SetDtr});
    return true;
}

bool FakeSerialPort::getTimeouts(Timeouts& out)
{
    std::lock_guard<std::mutex> lock(line_->mutex_);
    out = line_->timeouts_;
    return true;
}

bool FakeSerialPort::setTimeouts(const Timeouts& timeouts)
{
    std::lock_guard<std::mutex> lock(line_->mutex_);
    line_->timeouts_ = timeouts;
    return true;
}

bool FakeSerialPort::purge(unsigned flags)
{
    std::lock_guard<std::mutex> lock(line_->mutex_);
    if (flags & (kPurgeRxAbort | kPurgeRxClear))
        line_->receive_.clear();
    line_->record({FakeLine::EventKind::Purge, {}, flags, LineFunction::SetDtr});
    return true;
}

bool FakeSerialPort::lineFunction(LineFunction function)
{
    std::lock_guard<std::mutex> lock(line_->mutex_);
    switch (function) {
    case LineFunction::SetDtr: line_->dtr_ = true; break;
    case LineFunction::ClearDtr: line_->dtr_ = false; break;
    case LineFunction::SetRts: line_->rts_ = true; break;
    case LineFunction::ClearRts: line_->rts_ = false; break;
    case LineFunction::SetBreak: line_->break_ = true; break;
    case LineFunction::ClearBreak: line_->break_ = false; break;
    }
    line_->record({FakeLine::EventKind::LineFunction, {}, 0, function});
    return true;
}

bool FakeSerialPort::drain(std::uint32_t limitMs)
{
    std::unique_lock<std::mutex> lock(line_->mutex_);
    line_->record({FakeLine::EventKind::Drain, {}, 0, LineFunction::SetDtr});
    if (line_->failed_)
        return false;
    if (!line_->stalled_)
        return true;
    const auto unstalled = [this] { return !line_->stalled_ || line_->failed_; };
    if (limitMs == kNoLimit)
        line_->arrived_.wait(lock, unstalled);
    else
        line_->arrived_.wait_for(lock, std::chrono::milliseconds(limitMs), unstalled);
    return !line_->stalled_ && !line_->failed_;
}

std::uint32_t FakeSerialPort::lineTimeUs(std::uint32_t chars) const
{
    std::lock_guard<std::mutex> lock(line_->mutex_);
    return line_->lineTimeUsLocked(chars);
}

bool FakeSerialPort::read(void* buffer, std::uint32_t size, std::uint32_t& got, std::uint32_t limitMs)
{
    return readWithin(line_->timeouts(), limitMs, buffer, size, got);
}

bool FakeSerialPort::readWaiting(void* buffer, std::uint32_t size, std::uint32_t& got)
{
    return readWithin(Timeouts{kMaxTimeout, 0, 0, 0, 0}, kNoLimit, buffer, size, got);
}

bool FakeSerialPort::hasBufferedInput()
{
    std::lock_guard<std::mutex> lock(line_->mutex_);
    takeAnswer();
    return !line_->receive_.empty() || line_->failed_;
}

// The device answers after its turnaround, which ends when the port starts
// listening: a purge of the receive side before the port listens keeps the
// reply.
void FakeSerialPort::takeAnswer()
{
    if (!line_->unanswered_.empty()) {
        line_->receive_ += std::exchange(line_->echoed_, std::string());
        line_->receive_ += line_->responder_(line_->unanswered_);
    }
}

bool FakeSerialPort::readWithin(const Timeouts& timeouts, std::uint32_t limitMs, void* buffer, std::uint32_t size,
                                std::uint32_t& got)
{
    auto* out = static_cast<unsigned char*>(buffer);
    std::unique_lock<std::mutex> lock(line_->mutex_);
    // The read's time passes on the line's clock, which may run ahead of the
    // machine's while characters come faster than real time delivers them.
    ReadTimer timer(timeouts, size, limitMs, line_->nowLocked());
    got = 0;
    if (line_->failed_)
        return false;
    takeAnswer();
    for (;;) {
        const std::uint32_t n = std::min<std::uint32_t>(size - got, static_cast<std::uint32_t>(line_->receive_.size()));
        std::memcpy(out + got, line_->receive_.data(), n);
        line_->receive_.erase(0, n);
        line_->delivered(out + got, n);
        got += n;
        if (got == size)
            return true;
        const std::int64_t wait = timer.waitMs(got, line_->nowLocked());
        if (wait == 0)
            return true;
        if (wait == ReadTimer::kForever)
            line_->arrived_.wait(lock);
        else
            line_->arrived_.wait_for(lock, std::chrono::milliseconds(wait));
        if (line_->failed_)
            return false;
    }
}

bool FakeSerialPort::write(const void* data, std::uint32_t size, std::uint32_t& written, std::uint32_t limitMs)
{
    std::unique_lock<std::mutex> lock(line_->mutex_);
    written = 0;
    if (line_->failed_)
        return false;
    if (line_->stalled_) {
        const auto moving = [this] { return !line_->stalled_ || line_->failed_; };
        if (limitMs == kNoLimit)
            line_->arrived_.wait(lock, moving);
        else if (!line_->arrived_.wait_for(lock, std::chrono::milliseconds(limitMs), moving))
            return true;
        if (line_->failed_)
            return false;
    }
    const std::string bytes(static_cast<const char*>(data), size);
    line_->written_ += bytes;
    line_->unanswered_ += bytes;
    line_->record({FakeLine::EventKind::Write, bytes, 0, LineFunction::SetDtr});
    if (line_->echo_)
        line_->echoed_ += bytes;
    if (line_->answerWhileWriting_) {
        line_->receive_ += std::exchange(line_->echoed_, std::string());
        line_->receive_ += line_->responder_(line_->unanswered_);
    }
    written = size;
    lock.unlock();
    line_->arrived_.notify_all();
    return true;
}

namespace {

std::mutex& registryMutex()
{
    static std::mutex m;
    return m;
}

std::map<std::string, std::shared_ptr<FakeLine>>& registry()
{
    static std::map<std::string, std::shared_ptr<FakeLine>> r;
    return r;
}

}  // namespace

void registerFakeDevice(const std::string& name, std::shared_ptr<FakeLine> line)
{
    std::lock_guard<std::mutex> lock(registryMutex());
    registry()[canonicalDeviceName(name)] = std::move(line);
}

void unregisterFakeDevice(const std::string& name)
{
    std::lock_guard<std::mutex> lock(registryMutex());
    registry().erase(canonicalDeviceName(name));
}

std::vector<std::string> fakeDeviceNames()
{
    std::lock_guard<std::mutex> lock(registryMutex());
    std::vector<std::string> names;
    for (const auto& [name, line] : registry())
        names.push_back(name);
    return names;
}

bool isFakeDeviceName(const std::string& name)
{
    const std::string canonical = canonicalDeviceName(name);
    std::lock_guard<std::mutex> lock(registryMutex());
    return !canonical.empty() && registry().count(canonical) > 0;
}

std::unique_ptr<SerialPort> openFakeDevice(const std::string& name)
{
    const std::string canonical = canonicalDeviceName(name);
    if (canonical.empty())
        return nullptr;
    std::lock_guard<std::mutex> lock(registryMutex());
    const auto it = registry().find(canonical);
    if (it == registry().end() || it->second->isOpen())
        return nullptr;
    return std::make_unique<FakeSerialPort>(it->second);
}

}  // namespace platform
