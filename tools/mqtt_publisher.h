// kl_poll's readings and device states for an MQTT broker (libmosquitto).
//
// The polling thread hands each reading and change of state over and goes
// on at once: the message is put in an OutgoingQueue, and a network thread of
// the publisher's own owns the connection and sends from the queue in order,
// with QoS 1 by default (at least once: after a reconnect a message the
// broker had not acknowledged is sent again), at most kWindow readings
// unacknowledged at a time. Statuses are retained. The logger's own status (PREFIX/status) is "online" while it is
// connected; its last will, which the broker publishes when the connection
// dies without a goodbye (the logger killed, the machine gone), is "offline"
// with the reason "logger lost".
//
// While the broker is away the readings wait in the queue, up to its bound
// (the oldest dropped beyond it, and counted), and the network thread tries
// to connect again after the waits of a ReconnectBackoff; once connected it
// sends the current state of every device and what waited, in order.
#pragma once

#include "broker_url.h"
#include "credentials.h"
#include "outgoing_queue.h"
#include "reading_sink.h"
#include "reconnect_backoff.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>

struct mosquitto;

namespace tools {

class MqttPublisher : public ReadingSink {
public:
    struct Settings {
        BrokerUrl broker;
        std::string caFile;  // the certificate authorities trusted for mqtts://
        Credentials credentials;
        std::string prefix;    // the topics' prefix (mqtt_topics.h)
        std::string clientId;  // the client's name at the broker
        int qos = 1;           // of the readings; statuses always go with QoS 1
        std::size_t bound = 10000;  // readings kept while the broker is away
    };

    static constexpr int kWindow = 20;

    explicit MqttPublisher(Settings settings);
    ~MqttPublisher() override;
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    // Connects, and waits up to `waitMs` for the broker's answer. False, with
    // the reason in `error`, when the broker refuses the logger (a wrong user
    // name or password, no right to connect) or the settings are unusable. A
    // broker that cannot be reached is no error: the readings wait for it,
    // which is said on standard error.
    bool start(std::uint32_t waitMs, std::string& error);

    void identified(int address, const v2DeviceInfo& device) override;
    void reading(int address, const PollReading& reading, std::chrono::system_clock::time_point taken) override;
    void stateChanged(int address, DeviceState state) override;
    void countsChanged(int, const kc::LinkCounts&) override {}

    // Says every device and the logger offline ("logger stopped"), sends
    // what waits for up to `waitMs` while the broker is there, and
    // disconnects.
    void finish(std::uint32_t waitMs);

    struct Totals {
        long sent = 0;     // readings the broker took (acknowledged for QoS 1 and 2)
        long dropped = 0;  // readings dropped for the bound
        long unsent = 0;   // readings still waiting or unacknowledged at the end
    };
    Totals totals() const;

private:
    enum class Outcome { Pending, Connected, Refused, Unreachable };

    void run();
    // Starts a connection (at once, or after the back-off).
    void connect();
    // The connection failed or could not be made: the next try after the back-off.
    void unreachable(const std::string& reason);
    // Waits for the socket, a message or the next try, and serves the library.
    void serve();
    // Takes up the broker's answer to the connection; false when it refused.
    bool takeConnack();
    // Hands waiting messages to the library while connected and the window allows.
    void pump();
    void wake();

    static void onConnect(mosquitto*, void* self, int rc);
    static void onPublish(mosquitto*, void* self, int mid);

    Settings settings_;
    mosquitto* client_ = nullptr;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::thread thread_;

    // Only the network thread touches these.
    bool socketOpen_ = false;
    bool triedBefore_ = false;
    ReconnectBackoff backoff_;
    std::chrono::steady_clock::time_point nextTry_;
    std::set<int> unacknowledged_;  // message ids of readings sent with QoS 1 or 2
    std::set<int> statusesUnacknowledged_;
    std::optional<int> connack_;    // the broker's answer, taken up after the library's call
    bool outageSaid_ = false;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    OutgoingQueue queue_;
    bool connected_ = false;
    bool stopping_ = false;
    int inFlight_ = 0;  // readings sent and not acknowledged
    bool statusesInFlight_ = false;
    Outcome outcome_ = Outcome::Pending;
    int refusal_ = 0;
    std::map<int, v2DeviceInfo> devices_;
    std::map<int, DeviceState> states_;
    std::atomic<long> sent_{0};
};

}  // namespace tools
