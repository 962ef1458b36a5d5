// From kl_sim to an MQTT subscriber through kl_poll and a real mosquitto
// broker at a 20 ms period, 115200 baud (not run by ctest):
//   build/bench/mqtt_throughput [SECONDS]   (600 by default)
// Reports the readings kl_poll logged, those the subscriber got (lost =
// logged − received), and the delay from the reading's time stamp to its
// arrival at the subscriber: median, 99th percentile and largest.
#include "child_process.h"
#include "mosquitto_broker.h"
#include "mqtt_subscriber.h"
#include "tdf_builder.h"
#include "test_support.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

using namespace testing_support;

namespace {

// Milliseconds since the epoch of "2024-03-05T09:07:02.250+03:00".
long long epochMs(const std::string& iso)
{
    std::tm tm{};
    int ms = 0, offsetHours = 0, offsetMinutes = 0;
    char sign = '+';
    if (std::sscanf(iso.c_str(), "%d-%d-%dT%d:%d:%d.%d%c%d:%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour,
                    &tm.tm_min, &tm.tm_sec, &ms, &sign, &offsetHours, &offsetMinutes)
        != 10)
        return -1;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    const long long offset = (offsetHours * 60LL + offsetMinutes) * 60000LL * (sign == '-' ? -1 : 1);
    return static_cast<long long>(timegm(&tm)) * 1000 + ms - offset;
}

std::size_t readingLines(const std::string& out)
{
    std::size_t n = 0;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line))
        n += line.rfind("COM1: температуры ", 0) == 0;
    return n;
}

}  // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 600;
    TempDir devices;
    TempDir work;
    ScopedEnv deviceEnv("KL_DEVICE_DIR", devices.path());
    ScopedEnv user("KL_MQTT_USERNAME", "logger");
    ScopedEnv password("KL_MQTT_PASSWORD", "bench");
    MosquittoBroker broker("logger", "bench");
    if (!broker.start()) {
        std::fprintf(stderr, "mosquitto did not start: %s\n", broker.log().c_str());
        return 1;
    }
    MqttSubscriber subscriber(broker.port(), "logger", "bench", "kl/bench/#");
    if (!waitFor([&] { return subscriber.subscribed(); }, std::chrono::seconds(10)))
        return 1;
    // At 115200 baud the line keeps the 20 ms period (at 19200 a cycle
    // takes about 27 ms of line time).
    SimProcess sim(devices.path(), {"--device", "type=3,serial=2417,baud=8"});
    ChildProcess logger({KL_POLL_PATH, "COM1", "--baud", "8", "--period", "20", "--mqtt", broker.url(),
                         "--mqtt-topic", "kl/bench"},
                        work.file("out"), work.file("err"));
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    logger.signal(SIGTERM);
    logger.wait(std::chrono::seconds(20));
    const std::size_t logged = readingLines(readAll(work.file("out")));
    waitFor([&] { return subscriber.payloads("kl/bench/1").size() >= logged; }, std::chrono::seconds(20));

    std::vector<long long> delays;
    for (const MqttMessage& m : subscriber.messages()) {
        if (m.topic != "kl/bench/1")
            continue;
        const long long taken = epochMs(jsonField(m.payload, "time"));
        const long long arrived =
            std::chrono::duration_cast<std::chrono::milliseconds>(m.arrived.time_since_epoch()).count();
        delays.push_back(arrived - taken);
    }
    std::sort(delays.begin(), delays.end());
    const auto at = [&](double q) {
        return delays.empty() ? -1 : delays[static_cast<std::size_t>(q * static_cast<double>(delays.size() - 1))];
    };
    std::printf("%d s at 20 ms: logged %zu, received %zu, lost %lld\n", seconds, logged, delays.size(),
                static_cast<long long>(logged) - static_cast<long long>(delays.size()));
    std::printf("delay from the reading's time stamp to the subscriber: median %lld ms, p99 %lld ms, max %lld ms\n",
                at(0.5), at(0.99), delays.empty() ? -1 : delays.back());
    std::printf("%s", readAll(work.file("err")).c_str());
    return 0;
}
