// The polling of one device on kl_poll's line, as the program's main window
// polls: identify the device (again every 2 s until it answers), read its mode
// and emissivity, then per turn the state (about every 6 s) and, while the
// thermostat is settled, the five measurement words. Link errors are said on
// standard error and polling goes on.
//
// After the port came back the device is identified again before its next
// reading: the same device goes on in the same series and files; another one
// (serial number or model differ) is said on standard error and goes on in
// new files, its times counted from its own settled state.
//
// Alone on the line a request is tried up to the attempt count whatever
// failed. When several devices share the line, a try without a reply is not
// repeated and ends the device's turn, so that a silent device costs the
// others one time-out per cycle at most; after several silent turns it is
// asked less often (SilenceBackoff).
#pragma once

#include "link_counts.h"
#include "poll_options.h"
#include "reading_outputs.h"
#include "reading_sink.h"
#include "silence_backoff.h"
#include "stop_signals.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tools {

class DevicePoller {
public:
    enum class TurnEnd {
        Done,      // the turn is over; polling goes on
        Stopped,   // a stop signal came
        PortLost,  // the port failed
        Unidentified,  // the device did not answer its identification
    };

    // `label` names the device in every message and reading line.
    DevicePoller(const PolledDevice& device, const PollOptions& options, std::string label, StopSignals& stop);

    // Creates the device's files; false with the reason when one cannot be.
    bool open(std::string& error) { return outputs_.open(error); }
    // Saves and closes the files; false when an output failed.
    bool finish() { return outputs_.finish(); }
    // Where the identification, the readings, the state and the counts go
    // besides the files; none when null.
    void setSink(ReadingSink* sink) { sink_ = sink; }

    // The requests due in a turn that begins at tick `now`, on `port`.
    TurnEnd turn(void* port, std::uint32_t now);
    // Whether the device is asked in a cycle that begins at tick `now`.
    bool due(std::uint32_t now) const { return !finished() && backoff_.due(now); }
    // The port failed and was opened again: the device is identified again
    // before its next reading.
    void portReturned();
    // The port failed: the device's state says so until it answers again.
    void portLost() { report(DeviceState::PortLost); }
    // Whether the device answered its identification since the port was
    // last opened.
    bool identified() const { return identified_; }
    // Whether the device has logged the count of readings asked for.
    bool finished() const { return options_.count != 0 && counts_.readings >= options_.count; }

    const PolledDevice& device() const { return device_; }
    const std::string& label() const { return label_; }
    const kc::LinkCounts& counts() const { return counts_; }

private:
    enum class Step { Go, EndTurn, Stopped, PortLost };
    enum class Asked { Answered, Failed, Stopped, PortLost };

    template <typename Request>
    Asked ask(Request request, kc::Result& result);
    // The step after a request that did not get its answer; `caption` names
    // the failed operation on standard error.
    Step afterFailure(Asked asked, const char* caption, const kc::Result& result);

    Step requests(std::uint32_t now);
    Step identify(std::uint32_t now);
    void takeDevice(const v2DeviceInfo& identified);
    // The mode and emissivity; defaults (mode 0) with a message when they
    // cannot be read.
    Step readSettings();
    kc::Pyrometer pyrometer() const { return {port_, address_}; }
    Step pollState(std::uint32_t now);
    Step pollTemperature();
    void startClock();
    // Tells the sink of a change of state.
    void report(DeviceState state);
    std::int64_t elapsedMs();

    PolledDevice device_;
    const PollOptions& options_;
    std::string label_;
    StopSignals& stop_;
    ReadingOutputs outputs_;
    SilenceBackoff backoff_;
    bool shared_;
    void* port_ = nullptr;
    char address_;

    // The identification as read, without the ratio bit the emissivity adds.
    std::optional<v2DeviceInfo> known_;
    bool identified_ = false;
    bool identifyTried_ = false;
    std::uint32_t lastIdentifyTry_ = 0;
    bool stateDue_ = true;
    std::uint32_t lastState_ = 0;
    std::uint16_t mode_ = 0;
    unsigned short emissivity_ = 0;
    std::uint8_t state_ = 0;
    bool settled_ = true;
    bool started_ = false;
    std::uint32_t lastTick_ = 0;
    std::int64_t elapsed_ = 0;

    bool identifyFailed_ = false;
    bool silentTurn_ = false;
    bool answeredTurn_ = false;
    kc::LinkCounts counts_;
    ReadingSink* sink_ = nullptr;
    DeviceState reportedState_ = DeviceState::Unknown;
};

}  // namespace tools
