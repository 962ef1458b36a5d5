#include "plant_outputs.h"

#include "credentials.h"
#include "modbus_tcp_server.h"
#include "mqtt_publisher.h"
#include "mqtt_topics.h"
#include "register_blocks.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace tools {

namespace {

// How long the logger waits at start for the broker's answer, and at the end
// for what waits to be sent.
constexpr std::uint32_t kConnectWaitMs = 5000;
constexpr std::uint32_t kFinishWaitMs = 3000;

// Hands each piece of news to every output.
class FanOut : public ReadingSink {
public:
    void add(ReadingSink* sink) { sinks_.push_back(sink); }
    bool empty() const { return sinks_.empty(); }

    void identified(int address, const v2DeviceInfo& device) override
    {
        for (ReadingSink* sink : sinks_)
            sink->identified(address, device);
    }
    void reading(int address, const PollReading& reading, std::chrono::system_clock::time_point taken) override
    {
        for (ReadingSink* sink : sinks_)
            sink->reading(address, reading, taken);
    }
    void stateChanged(int address, DeviceState state) override
    {
        for (ReadingSink* sink : sinks_)
            sink->stateChanged(address, state);
    }
    void countsChanged(int address, const kc::LinkCounts& counts) override
    {
        for (ReadingSink* sink : sinks_)
            sink->countsChanged(address, counts);
    }

private:
    std::vector<ReadingSink*> sinks_;
};

std::string hostName()
{
    char name[256] = {};
    return ::gethostname(name, sizeof name - 1) == 0 ? name : "localhost";
}

std::optional<std::string> environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

}  // namespace

struct PlantOutputs::Parts {
    FanOut fanOut;
    std::unique_ptr<MqttPublisher> publisher;
    RegisterBlocks blocks;
    std::unique_ptr<ModbusTcpServer> server;
};

PlantOutputs::PlantOutputs(PlantOptions options) : options_(std::move(options)), parts_(std::make_unique<Parts>()) {}

PlantOutputs::~PlantOutputs() { finish(); }

bool PlantOutputs::start(const PollOptions& poll, std::string& error)
{
    if (options_.mqtt) {
        MqttPublisher::Settings settings;
        settings.broker = *options_.mqtt;
        settings.caFile = options_.mqttCaFile;
        std::string warning;
        const auto credentials = loadCredentials(options_.credentialsFile, environment, error, warning);
        if (!credentials)
            return false;
        if (!warning.empty())
            std::fprintf(stderr, "kl_poll: внимание: %s\n", warning.c_str());
        settings.credentials = *credentials;
        const std::string host = hostName();
        settings.prefix = options_.topicPrefix.empty() ? defaultTopicPrefix(host, poll.port) : options_.topicPrefix;
        // Unique per process: a broker drops the older of two clients of one
        // name, and two loggers of one name would keep dropping each other.
        settings.clientId =
            "kl_poll-" + topicLevel(host) + "-" + topicLevel(poll.port) + "-" + std::to_string(::getpid());
        settings.qos = options_.qos;
        settings.bound = static_cast<std::size_t>(options_.bound);
        parts_->publisher = std::make_unique<MqttPublisher>(settings);
        if (!parts_->publisher->start(kConnectWaitMs, error)) {
            parts_->publisher.reset();
            return false;
        }
        parts_->fanOut.add(parts_->publisher.get());
    }
    if (options_.modbusTcp) {
        parts_->server = std::make_unique<ModbusTcpServer>(parts_->blocks);
        if (!parts_->server->start(options_.modbusHost, options_.modbusPort, error))
            return false;
        std::fprintf(stderr, "kl_poll: Modbus TCP: %s:%d\n", options_.modbusHost.c_str(), parts_->server->port());
        parts_->fanOut.add(&parts_->blocks);
    }
    return true;
}

ReadingSink* PlantOutputs::sink() { return parts_->fanOut.empty() ? nullptr : &parts_->fanOut; }

void PlantOutputs::finish()
{
    parts_->server.reset();
    if (!parts_->publisher)
        return;
    parts_->publisher->finish(kFinishWaitMs);
    const MqttPublisher::Totals totals = parts_->publisher->totals();
    parts_->publisher.reset();
    std::fprintf(stderr, "kl_poll: MQTT: отправлено показаний: %ld, отброшено при переполнении очереди: %ld, "
                         "не отправлено: %ld\n",
                 totals.sent, totals.dropped, totals.unsent);
}

}  // namespace tools
