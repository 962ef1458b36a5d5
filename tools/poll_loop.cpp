#include "poll_loop.h"

#include "platform/clock.h"

#include <algorithm>
#include <cstdio>

namespace tools {

namespace {

constexpr std::uint32_t kShortestReopenMs = 100;
constexpr std::uint32_t kLongestReopenMs = 1000;

}  // namespace

PollLoop::PollLoop(void* port, const PollOptions& options, std::vector<std::unique_ptr<DevicePoller>>& devices,
                   StopSignals& stop)
    : port_(port), options_(options), devices_(devices), stop_(stop), baudCode_(options.devices.front().baudCode),
      lastReport_(platform::tickCount()), reported_(devices.size())
{
}

PollLoop::~PollLoop()
{
    if (port_ != nullptr)
        KCClosePort(port_);
}

std::uint32_t PollLoop::reopenEveryMs(int periodMs)
{
    return std::clamp(static_cast<std::uint32_t>(periodMs), kShortestReopenMs, kLongestReopenMs);
}

bool PollLoop::allFinished() const
{
    return std::all_of(devices_.begin(), devices_.end(), [](const auto& d) { return d->finished(); });
}

bool PollLoop::useSpeed(int baudCode)
{
    if (baudCode == baudCode_)
        return true;
    if (!KCSetPortSpeed(port_, static_cast<char>(baudCode)))
        return false;
    baudCode_ = baudCode;
    return true;
}

bool PollLoop::recover()
{
    ++portLosses_;
    for (auto& device : devices_)
        device->portLost();
    std::fprintf(stderr, "kl_poll: %s: порт недоступен; показания сохранены, жду его возвращения\n",
                 options_.port.c_str());
    if (!reopen())
        return false;
    std::fprintf(stderr, "kl_poll: %s: порт снова доступен, опрос продолжается\n", options_.port.c_str());
    return true;
}

bool PollLoop::reopen()
{
    KCClosePort(port_);
    port_ = nullptr;
    const std::uint32_t every = reopenEveryMs(options_.periodMs);
    // The first try waits too: a device node on its way out may still open.
    while (!stop_.wait(every)) {
        const int baudCode = options_.devices.front().baudCode;
        HandleGuard guard = KCOpenPort(options_.port.c_str(), static_cast<char>(baudCode));
        if (!guard)
            continue;
        port_ = guard.release();
        KCSetTimeOut(port_, options_.timeoutMs);
        baudCode_ = baudCode;
        for (auto& device : devices_)
            device->portReturned();
        awaitingDevice_ = true;
        return true;
    }
    return false;
}

void PollLoop::reportFaults(std::uint32_t now)
{
    if (options_.statsSeconds == 0)
        return;
    const std::uint32_t every = static_cast<std::uint32_t>(options_.statsSeconds) * 1000;
    if (now - lastReport_ < every)
        return;
    lastReport_ = now;
    for (std::size_t i = 0; i < devices_.size(); ++i) {
        const kc::LinkCounts counts = devices_[i]->counts();
        const kc::LinkCounts recent = counts - reported_[i];
        reported_[i] = counts;
        if (anyFault(recent))
            std::fprintf(stderr, "kl_poll: %s: за %d с: %s\n", devices_[i]->label().c_str(), options_.statsSeconds,
                         describeCounts(recent).c_str());
    }
}

void PollLoop::run()
{
    const auto period = static_cast<std::uint32_t>(options_.periodMs);
    // Cycles begin a period apart; a cycle that overran starts the next one at
    // once, without catching up.
    std::uint32_t next = platform::tickCount();
    for (;;) {
        const std::uint32_t cycleStart = platform::tickCount();
        bool recovered = false;
        bool unanswered = false;
        for (auto& device : devices_) {
            if (!device->due(cycleStart))
                continue;
            DevicePoller::TurnEnd end = DevicePoller::TurnEnd::PortLost;
            if (useSpeed(device->device().baudCode))
                end = device->turn(port_, platform::tickCount());
            if (end == DevicePoller::TurnEnd::Stopped)
                return;
            if (end == DevicePoller::TurnEnd::PortLost) {
                if (!recover())
                    return;
                recovered = true;
                break;
            }
            unanswered = unanswered || end == DevicePoller::TurnEnd::Unidentified;
            awaitingDevice_ = awaitingDevice_ && !device->identified();
        }
        if (!recovered && awaitingDevice_ && unanswered) {
            if (!reopen())
                return;
            recovered = true;
        }
        const std::uint32_t now = platform::tickCount();
        reportFaults(now);
        if (allFinished())
            return;
        // After the port's return the next cycle begins at once.
        next = recovered ? now : next + period;
        const auto left = static_cast<std::int32_t>(next - now);
        if (left < 0)
            next = now;
        if (stop_.wait(left > 0 ? static_cast<std::uint32_t>(left) : 0))
            return;
    }
}

}  // namespace tools
