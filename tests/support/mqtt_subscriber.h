// An MQTT subscriber for the tests and benchmarks (libmosquitto, on its own
// network thread): it keeps every message of its topic filter with the
// moment it came. Its session is persistent (clean session off, QoS 1), so
// that after a broker restart the messages the broker queued for it while it
// was away still come; it reconnects by itself.
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

struct mosquitto;
struct mosquitto_message;

namespace testing_support {

struct MqttMessage {
    std::string topic;
    std::string payload;
    bool retained = false;
    std::chrono::system_clock::time_point arrived;
};

class MqttSubscriber {
public:
    MqttSubscriber(int port, const std::string& user, const std::string& password, const std::string& filter);
    ~MqttSubscriber();
    MqttSubscriber(const MqttSubscriber&) = delete;
    MqttSubscriber& operator=(const MqttSubscriber&) = delete;

    // Whether the broker confirmed the subscription since the last connection.
    bool subscribed() const;
    std::vector<MqttMessage> messages() const;
    // The payloads that came on `topic`, in order.
    std::vector<std::string> payloads(const std::string& topic) const;

private:
    static void onConnect(mosquitto*, void* self, int rc);
    static void onSubscribe(mosquitto*, void* self, int, int, const int*);
    static void onMessage(mosquitto*, void* self, const mosquitto_message* message);

    std::string filter_;
    mosquitto* client_ = nullptr;
    mutable std::mutex mutex_;
    bool subscribed_ = false;
    std::vector<MqttMessage> messages_;
};

// The value of `key` in a flat JSON object of numbers and strings (a string
// without its quotes); empty when it is missing.
std::string jsonField(const std::string& json, const std::string& key);

}  // namespace testing_support
