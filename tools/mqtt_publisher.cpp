#include "mqtt_publisher.h"

#include "mqtt_topics.h"
#include "reading_json.h"

#include <mosquitto.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tools {

namespace {

constexpr int kKeepAliveSeconds = 30;
// The network thread looks at the keep-alive at least this often.
constexpr int kServeEveryMs = 250;
constexpr int kStatusQos = 1;

// MQTT 3.1.1's refusals, as the operator reads them.
std::string refusalText(int rc)
{
    switch (rc) {
    case 1: return "брокер не поддерживает MQTT 3.1.1";
    case 2: return "брокер отверг имя клиента";
    case 3: return "брокер не принимает подключения";
    case 4: return "неверное имя пользователя или пароль";
    case 5: return "нет права на подключение (неверное имя пользователя или пароль?)";
    }
    return "отказ брокера (код " + std::to_string(rc) + ")";
}

struct LibraryInit {
    LibraryInit() { mosquitto_lib_init(); }
};

}  // namespace

MqttPublisher::MqttPublisher(Settings settings)
    : settings_(std::move(settings)), queue_(settings_.bound)
{
    static LibraryInit init;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        wakeRead_ = fds[0];
        wakeWrite_ = fds[1];
    }
}

MqttPublisher::~MqttPublisher()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake();
    if (thread_.joinable())
        thread_.join();
    if (client_ != nullptr)
        mosquitto_destroy(client_);
    if (wakeRead_ >= 0) {
        ::close(wakeRead_);
        ::close(wakeWrite_);
    }
}

bool MqttPublisher::start(std::uint32_t waitMs, std::string& error)
{
    if (wakeRead_ < 0) {
        error = "MQTT: не удаётся создать канал";
        return false;
    }
    client_ = mosquitto_new(settings_.clientId.c_str(), true, this);
    if (client_ == nullptr) {
        error = "MQTT: не удаётся создать клиента";
        return false;
    }
    mosquitto_int_option(client_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(client_, onConnect);
    mosquitto_publish_callback_set(client_, onPublish);
    const std::string will = offlineJson(OfflineReason::LoggerLost, std::chrono::system_clock::now());
    const std::string willTopic = loggerStatusTopic(settings_.prefix);
    if (mosquitto_will_set(client_, willTopic.c_str(), static_cast<int>(will.size()), will.data(), kStatusQos, true)
        != MOSQ_ERR_SUCCESS) {
        error = "MQTT: неверная тема " + willTopic;
        return false;
    }
    if (!settings_.credentials.username.empty())
        mosquitto_username_pw_set(client_, settings_.credentials.username.c_str(),
                                  settings_.credentials.password.empty() ? nullptr
                                                                         : settings_.credentials.password.c_str());
    if (settings_.broker.tls) {
        const int rc = mosquitto_tls_set(client_, settings_.caFile.empty() ? nullptr : settings_.caFile.c_str(),
                                         settings_.caFile.empty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr,
                                         nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            error = "MQTT: не удаётся взять сертификаты " + settings_.caFile + ": " + mosquitto_strerror(rc);
            return false;
        }
    }
    thread_ = std::thread([this] { run(); });
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(waitMs), [this] { return outcome_ != Outcome::Pending; });
    if (outcome_ == Outcome::Refused) {
        error = "брокер MQTT " + settings_.broker.host + ":" + std::to_string(settings_.broker.port)
            + " не принял подключение: " + refusalText(refusal_);
        return false;
    }
    return true;
}

void MqttPublisher::identified(int address, const v2DeviceInfo& device)
{
    std::lock_guard<std::mutex> lock(mutex_);
    devices_[address] = device;
}

void MqttPublisher::reading(int address, const PollReading& reading, std::chrono::system_clock::time_point taken)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto device = devices_.find(address);
        if (device == devices_.end())
            return;
        queue_.push({deviceTopic(settings_.prefix, address), readingJson(address, reading, device->second, taken),
                     false});
    }
    wake();
}

void MqttPublisher::stateChanged(int address, DeviceState state)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        states_[address] = state;
        queue_.push({deviceStatusTopic(settings_.prefix, address), stateJson(state, std::chrono::system_clock::now()),
                     true});
    }
    wake();
}

void MqttPublisher::finish(std::uint32_t waitMs)
{
    if (!thread_.joinable())
        return;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        const auto now = std::chrono::system_clock::now();
        for (const auto& device : states_)
            queue_.push({deviceStatusTopic(settings_.prefix, device.first),
                         offlineJson(OfflineReason::LoggerStopped, now), true});
        queue_.push({loggerStatusTopic(settings_.prefix), offlineJson(OfflineReason::LoggerStopped, now), true});
        wake();
        // Everything acknowledged before the goodbye: a reply left unread
        // when the socket closes makes it end with a reset, and the broker
        // may then drop the goodbye and publish the last will.
        changed_.wait_for(lock, std::chrono::milliseconds(waitMs), [this] {
            return !connected_ || (queue_.empty() && inFlight_ == 0 && !statusesInFlight_);
        });
        stopping_ = true;
    }
    wake();
    thread_.join();
}

MqttPublisher::Totals MqttPublisher::totals() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    Totals totals;
    totals.sent = sent_;
    totals.dropped = queue_.dropped();
    totals.unsent = static_cast<long>(queue_.readings()) + inFlight_;
    return totals;
}

void MqttPublisher::wake()
{
    const char byte = 1;
    // A full pipe wakes the thread already.
    [[maybe_unused]] const auto written = ::write(wakeWrite_, &byte, 1);
}

// The library calls back only from the network thread, within its calls
// there; the callbacks note what happened for the thread to take up.
void MqttPublisher::onConnect(mosquitto*, void* self, int rc)
{
    static_cast<MqttPublisher*>(self)->connack_ = rc;
}

void MqttPublisher::onPublish(mosquitto*, void* self, int mid)
{
    auto* publisher = static_cast<MqttPublisher*>(self);
    if (publisher->unacknowledged_.erase(mid) != 0)
        ++publisher->sent_;
    else
        publisher->statusesUnacknowledged_.erase(mid);
}

void MqttPublisher::run()
{
    nextTry_ = std::chrono::steady_clock::now();
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_)
                break;
        }
        if (!socketOpen_ && std::chrono::steady_clock::now() >= nextTry_)
            connect();
        serve();
    }
    if (socketOpen_) {
        // A goodbye: the broker keeps the logger's own "offline" instead of
        // publishing the last will.
        mosquitto_disconnect(client_);
        mosquitto_loop_write(client_, 1);
    }
}

void MqttPublisher::connect()
{
    const int rc = triedBefore_ ? mosquitto_reconnect_async(client_)
                                : mosquitto_connect_async(client_, settings_.broker.host.c_str(),
                                                          settings_.broker.port, kKeepAliveSeconds);
    triedBefore_ = true;
    if (rc == MOSQ_ERR_SUCCESS && mosquitto_socket(client_) >= 0) {
        socketOpen_ = true;
        return;
    }
    unreachable(rc == MOSQ_ERR_ERRNO ? std::string(std::strerror(errno)) : mosquitto_strerror(rc));
}

void MqttPublisher::unreachable(const std::string& reason)
{
    socketOpen_ = false;
    nextTry_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(backoff_.nextWaitMs());
    std::lock_guard<std::mutex> lock(mutex_);
    connected_ = false;
    if (outcome_ == Outcome::Pending)
        outcome_ = Outcome::Unreachable;
    changed_.notify_all();
    if (!outageSaid_ && !stopping_) {
        outageSaid_ = true;
        std::fprintf(stderr, "kl_poll: MQTT: нет связи с брокером %s:%d (%s); показания копятся (не больше %zu) "
                             "и будут отправлены, когда он ответит\n",
                     settings_.broker.host.c_str(), settings_.broker.port, reason.c_str(), settings_.bound);
    }
}

void MqttPublisher::serve()
{
    pollfd fds[2] = {{wakeRead_, POLLIN, 0}, {-1, 0, 0}};
    nfds_t count = 1;
    if (socketOpen_) {
        fds[1] = {mosquitto_socket(client_), static_cast<short>(POLLIN | (mosquitto_want_write(client_) ? POLLOUT : 0)),
                  0};
        count = 2;
    }
    int timeout = kServeEveryMs;
    if (!socketOpen_) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(nextTry_ - std::chrono::steady_clock::now());
        timeout = static_cast<int>(std::clamp<long long>(left.count(), 0, kServeEveryMs));
    }
    ::poll(fds, count, timeout);
    char drain[64];
    while (::read(wakeRead_, drain, sizeof drain) > 0) {
    }
    if (!socketOpen_)
        return;
    const short events = fds[1].revents;
    int rc = MOSQ_ERR_SUCCESS;
    if ((events & (POLLIN | POLLERR | POLLHUP)) != 0)
        rc = mosquitto_loop_read(client_, 1);
    // A refusal comes with the connection's end: its answer is taken up first.
    if (!takeConnack())
        return;
    if (rc == MOSQ_ERR_SUCCESS && (events & POLLOUT) != 0)
        rc = mosquitto_loop_write(client_, 1);
    if (rc == MOSQ_ERR_SUCCESS && socketOpen_)
        rc = mosquitto_loop_misc(client_);
    if (!socketOpen_)
        return;
    if (rc != MOSQ_ERR_SUCCESS || mosquitto_socket(client_) < 0) {
        unreachable(rc == MOSQ_ERR_ERRNO ? std::string(std::strerror(errno)) : mosquitto_strerror(rc));
        return;
    }
    pump();
}

bool MqttPublisher::takeConnack()
{
    if (!connack_)
        return true;
    const int rc = *connack_;
    connack_.reset();
    if (rc != 0) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            refusal_ = rc;
            if (outcome_ == Outcome::Pending)
                outcome_ = Outcome::Refused;
            else
                std::fprintf(stderr, "kl_poll: MQTT: брокер не принял подключение: %s\n", refusalText(rc).c_str());
            changed_.notify_all();
        }
        outageSaid_ = true;
        unreachable(refusalText(rc));
        return false;
    }
    backoff_.connected();
    const std::string online = onlineJson(std::chrono::system_clock::now());
    const std::string topic = loggerStatusTopic(settings_.prefix);
    int mid = 0;
    if (mosquitto_publish(client_, &mid, topic.c_str(), static_cast<int>(online.size()), online.data(), kStatusQos,
                          true)
        == MOSQ_ERR_SUCCESS)
        statusesUnacknowledged_.insert(mid);
    std::lock_guard<std::mutex> lock(mutex_);
    connected_ = true;
    outcome_ = Outcome::Connected;
    // A broker that restarted without its store knows no status: each
    // device's current one goes again, before what waited.
    const auto now = std::chrono::system_clock::now();
    for (const auto& device : states_)
        queue_.push({deviceStatusTopic(settings_.prefix, device.first), stateJson(device.second, now), true});
    if (outageSaid_) {
        outageSaid_ = false;
        std::fprintf(stderr, "kl_poll: MQTT: связь с брокером %s:%d есть, отправляются накопленные показания (%zu)\n",
                     settings_.broker.host.c_str(), settings_.broker.port, queue_.readings());
    }
    changed_.notify_all();
    return true;
}

void MqttPublisher::pump()
{
    std::lock_guard<std::mutex> lock(mutex_);
    while (connected_ && static_cast<int>(unacknowledged_.size()) < kWindow && !queue_.empty()) {
        const OutgoingMessage& message = queue_.front();
        const int qos = message.retained ? kStatusQos : settings_.qos;
        int mid = 0;
        const int rc = mosquitto_publish(client_, &mid, message.topic.c_str(), static_cast<int>(message.payload.size()),
                                         message.payload.data(), qos, message.retained);
        if (rc != MOSQ_ERR_SUCCESS)
            break;
        if (message.retained)
            statusesUnacknowledged_.insert(mid);
        else if (qos > 0)
            unacknowledged_.insert(mid);
        else
            ++sent_;
        queue_.pop();
    }
    inFlight_ = static_cast<int>(unacknowledged_.size());
    statusesInFlight_ = !statusesUnacknowledged_.empty();
    changed_.notify_all();
}

}  // namespace tools
