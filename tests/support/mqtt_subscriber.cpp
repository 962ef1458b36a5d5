#include "mqtt_subscriber.h"

#include <mosquitto.h>

#include <atomic>
#include <stdexcept>
#include <unistd.h>

namespace testing_support {

namespace {

std::string clientId()
{
    static std::atomic<int> next{0};
    return "kl-test-subscriber-" + std::to_string(::getpid()) + "-" + std::to_string(next++);
}

}  // namespace

MqttSubscriber::MqttSubscriber(int port, const std::string& user, const std::string& password,
                               const std::string& filter)
    : filter_(filter)
{
    mosquitto_lib_init();
    client_ = mosquitto_new(clientId().c_str(), false, this);
    if (client_ == nullptr)
        throw std::runtime_error("mosquitto_new");
    mosquitto_username_pw_set(client_, user.c_str(), password.c_str());
    mosquitto_connect_callback_set(client_, onConnect);
    mosquitto_subscribe_callback_set(client_, onSubscribe);
    mosquitto_message_callback_set(client_, onMessage);
    mosquitto_reconnect_delay_set(client_, 1, 1, false);
    mosquitto_connect_async(client_, "127.0.0.1", port, 30);
    mosquitto_loop_start(client_);
}

MqttSubscriber::~MqttSubscriber()
{
    mosquitto_disconnect(client_);
    mosquitto_loop_stop(client_, true);
    mosquitto_destroy(client_);
}

bool MqttSubscriber::subscribed() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return subscribed_;
}

std::vector<MqttMessage> MqttSubscriber::messages() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

std::vector<std::string> MqttSubscriber::payloads(const std::string& topic) const
{
    std::vector<std::string> payloads;
    for (const MqttMessage& m : messages())
        if (m.topic == topic)
            payloads.push_back(m.payload);
    return payloads;
}

void MqttSubscriber::onConnect(mosquitto* client, void* self, int rc)
{
    auto* subscriber = static_cast<MqttSubscriber*>(self);
    {
        std::lock_guard<std::mutex> lock(subscriber->mutex_);
        subscriber->subscribed_ = false;
    }
    if (rc == 0)
        mosquitto_subscribe(client, nullptr, subscriber->filter_.c_str(), 1);
}

void MqttSubscriber::onSubscribe(mosquitto*, void* self, int, int, const int*)
{
    auto* subscriber = static_cast<MqttSubscriber*>(self);
    std::lock_guard<std::mutex> lock(subscriber->mutex_);
    subscriber->subscribed_ = true;
}

void MqttSubscriber::onMessage(mosquitto*, void* self, const mosquitto_message* message)
{
    auto* subscriber = static_cast<MqttSubscriber*>(self);
    MqttMessage m;
    m.arrived = std::chrono::system_clock::now();
    m.topic = message->topic;
    m.payload.assign(static_cast<const char*>(message->payload), static_cast<std::size_t>(message->payloadlen));
    m.retained = message->retain;
    std::lock_guard<std::mutex> lock(subscriber->mutex_);
    subscriber->messages_.push_back(std::move(m));
}

std::string jsonField(const std::string& json, const std::string& key)
{
    const std::string head = "\"" + key + "\":";
    const std::size_t at = json.find(head);
    if (at == std::string::npos)
        return {};
    std::size_t begin = at + head.size();
    if (begin < json.size() && json[begin] == '"') {
        ++begin;
        return json.substr(begin, json.find('"', begin) - begin);
    }
    return json.substr(begin, json.find_first_of(",}", begin) - begin);
}

}  // namespace testing_support
