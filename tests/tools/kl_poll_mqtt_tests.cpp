// kl_poll publishing to a real mosquitto broker, with kl_sim on a
// pseudo-terminal: every reading reaches a subscriber in order with the
// values kl_poll logged; readings taken while the broker is away arrive once
// it is back, up to the bound, and what the bound dropped is counted; the
// broker publishes the logger's last will when it is killed; a wrong password
// stops the logger at start with a clear message.
#include "kl_poll_fixture.h"
#include "mosquitto_broker.h"
#include "mqtt_subscriber.h"

#include <sys/stat.h>

#include <csignal>
#include <fstream>
#include <regex>

using poll_testing::KlPollTest;
using poll_testing::PrintedReading;
using poll_testing::printedReadings;
using testing_support::ChildProcess;
using testing_support::jsonField;
using testing_support::MosquittoBroker;
using testing_support::MqttSubscriber;
using testing_support::readAll;
using testing_support::SimProcess;
using testing_support::waitFor;

namespace {

constexpr char kUser[] = "logger";
constexpr char kPassword[] = "s3cret pass";
constexpr char kReadings[] = "kl/test/1";

class KlPollMqttTest : public KlPollTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(broker.start()) << broker.log();
        subscriber = std::make_unique<MqttSubscriber>(broker.port(), kUser, kPassword, "kl/test/#");
        ASSERT_TRUE(waitFor([&] { return subscriber->subscribed(); }, std::chrono::seconds(10)));
        writeCredentials(kPassword);
    }

    void writeCredentials(const std::string& password) const
    {
        std::ofstream(work.file("credentials")) << "# the logger at the broker\nusername=" << kUser
                                                << "\npassword=" << password << "\n";
        ::chmod(work.file("credentials").c_str(), 0600);
    }

    std::vector<std::string> logger(const std::vector<std::string>& more) const
    {
        std::vector<std::string> args = {"--period", "20", "--tdf", work.file("r.tdf"), "--mqtt", broker.url(),
                                         "--mqtt-credentials", work.file("credentials"), "--mqtt-topic", "kl/test"};
        args.insert(args.end(), more.begin(), more.end());
        return poll(args);
    }

    // The readings that came, with an immediate repetition (QoS 1 sends a
    // message the broker had not acknowledged again after a reconnect) left
    // out; a repetition is the same reading, taken at the same moment.
    std::vector<std::string> readingsReceived() const
    {
        std::vector<std::string> readings;
        for (const std::string& payload : subscriber->payloads(kReadings))
            if (readings.empty() || readings.back() != payload)
                readings.push_back(payload);
        return readings;
    }

    static bool sameValues(const std::string& json, const PrintedReading& printed)
    {
        return jsonField(json, "temperature") == std::to_string(printed.words[0])
            && jsonField(json, "quantum") == std::to_string(printed.words[4]);
    }

    // The number of readings the summary says the bound dropped.
    long droppedInSummary() const
    {
        std::smatch match;
        const std::string text = err();
        static const std::regex summary("отброшено при переполнении очереди: ([0-9]+)");
        return std::regex_search(text, match, summary) ? std::stol(match[1]) : -1;
    }

    // Lets `logging` publish a while, takes the broker away for
    // `readingsAway` printed readings and brings it back, then ends the
    // logger as an operator would (SIGTERM) once it has said it is connected again.
    void outageThenEnd(ChildProcess& logging, std::size_t readingsAway)
    {
        ASSERT_TRUE(waitFor([&] { return readingsReceived().size() >= 20; }, std::chrono::seconds(20))) << err();
        broker.stop();
        const std::size_t before = printedReadings(out()).size();
        ASSERT_TRUE(waitFor([&] { return printedReadings(out()).size() >= before + readingsAway; },
                            std::chrono::seconds(20)));
        ASSERT_TRUE(broker.start()) << broker.log();
        ASSERT_TRUE(waitFor([&] { return err().find("связь с брокером") != std::string::npos; },
                            std::chrono::seconds(20)))
            << err();
        ASSERT_TRUE(logging.signal(SIGTERM));
        ASSERT_EQ(logging.wait(std::chrono::seconds(20)).value_or(-1), 0) << err();
    }

    MosquittoBroker broker{kUser, kPassword};
    std::unique_ptr<MqttSubscriber> subscriber;
};

TEST_F(KlPollMqttTest, EveryReadingArrivesInOrderWithTheValuesLogged)
{
    SimProcess sim(devices.path(), {"--device", "type=3,serial=2417"});
    ChildProcess logging(logger({"--count", "40"}), work.file("out"), work.file("err"));
    ASSERT_EQ(logging.wait(std::chrono::seconds(30)).value_or(-1), 0) << err();
    ASSERT_TRUE(waitFor([&] { return readingsReceived().size() >= 40; }, std::chrono::seconds(10))) << err();

    const auto printed = printedReadings(out());
    const auto received = subscriber->payloads(kReadings);
    ASSERT_EQ(printed.size(), 40u);
    ASSERT_EQ(received.size(), 40u);
    TermDataFile series;
    ASSERT_TRUE(series.Read(work.file("r.tdf").c_str()));
    static const std::regex isoTime(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d)");
    for (std::size_t i = 0; i < received.size(); ++i) {
        SCOPED_TRACE(received[i]);
        EXPECT_TRUE(sameValues(received[i], printed[i]));
        EXPECT_EQ(jsonField(received[i], "temperature"), std::to_string(series.GetTermData()[i].temperature));
        EXPECT_EQ(jsonField(received[i], "emissivity"), "1.00");
        EXPECT_EQ(jsonField(received[i], "serial"), "2417");
        EXPECT_EQ(jsonField(received[i], "typeCode"), "3");
        EXPECT_EQ(jsonField(received[i], "address"), "1");
        EXPECT_TRUE(std::regex_match(jsonField(received[i], "time"), isoTime));
        if (i > 0) {
            EXPECT_GT(jsonField(received[i], "time"), jsonField(received[i - 1], "time"));
        }
    }
    // The states as the broker keeps them: online while logging, then
    // offline because the logger stopped.
    const auto device = subscriber->payloads("kl/test/1/status");
    ASSERT_GE(device.size(), 2u);
    EXPECT_EQ(jsonField(device.front(), "state"), "online");
    EXPECT_EQ(jsonField(device.back(), "state"), "offline");
    EXPECT_EQ(jsonField(device.back(), "reason"), "logger stopped");
    ASSERT_TRUE(waitFor([&] { return !subscriber->payloads("kl/test/status").empty(); }));
    EXPECT_EQ(jsonField(subscriber->payloads("kl/test/status").back(), "reason"), "logger stopped")
        << ::testing::PrintToString(subscriber->payloads("kl/test/status"));
    EXPECT_NE(err().find("MQTT: отправлено показаний: 40, отброшено при переполнении очереди: 0, не отправлено: 0"),
              std::string::npos)
        << err();
}

TEST_F(KlPollMqttTest, CredentialsComeFromTheEnvironmentWithoutAFile)
{
    testing_support::ScopedEnv user("KL_MQTT_USERNAME", kUser);
    testing_support::ScopedEnv password("KL_MQTT_PASSWORD", kPassword);
    SimProcess sim(devices.path(), {"--device", "type=3,serial=2417"});
    ChildProcess logging(poll({"--period", "20", "--count", "5", "--mqtt", broker.url(), "--mqtt-topic", "kl/test"}),
                         work.file("out"), work.file("err"));
    ASSERT_EQ(logging.wait(std::chrono::seconds(30)).value_or(-1), 0) << err();
    EXPECT_TRUE(waitFor([&] { return readingsReceived().size() == 5; })) << err();
}

TEST_F(KlPollMqttTest, TwoLoggersOfOneMachineAndPortNameDoNotDisplaceEachOther)
{
    // COM1 of two device folders: two lines that the machine names alike.
    testing_support::TempDir otherDevices;
    SimProcess sim(devices.path(), {"--device", "type=3,serial=2417"});
    SimProcess otherSim(otherDevices.path(), {"--device", "type=3,serial=9999"});
    ChildProcess first(logger({"--count", "60"}), work.file("out"), work.file("err"));
    std::unique_ptr<ChildProcess> second;
    {
        testing_support::ScopedEnv otherLine("KL_DEVICE_DIR", otherDevices.path());
        second = std::make_unique<ChildProcess>(
            poll({"--period", "20", "--count", "60", "--mqtt", broker.url(), "--mqtt-credentials",
                  work.file("credentials"), "--mqtt-topic", "kl/test/other"}),
            work.file("out2"), work.file("err2"));
    }
    ASSERT_EQ(first.wait(std::chrono::seconds(30)).value_or(-1), 0) << err();
    ASSERT_EQ(second->wait(std::chrono::seconds(30)).value_or(-1), 0) << readAll(work.file("err2"));
    for (const std::string& text : {err(), readAll(work.file("err2"))}) {
        EXPECT_EQ(text.find("нет связи"), std::string::npos) << text;
        EXPECT_NE(text.find("отправлено показаний: 60, отброшено при переполнении очереди: 0, не отправлено: 0"),
                  std::string::npos)
            << text;
    }
}

TEST_F(KlPollMqttTest, ReadingsTakenWhileTheBrokerIsAwayArriveOnceItIsBack)
{
    SimProcess sim(devices.path(), {"--device", "type=3,serial=2417"});
    ChildProcess logging(logger({}), work.file("out"), work.file("err"));
    ASSERT_NO_FATAL_FAILURE(outageThenEnd(logging, 60));

    const auto printed = printedReadings(out());
    ASSERT_TRUE(waitFor([&] { return readingsReceived().size() >= printed.size(); }, std::chrono::seconds(20)))
        << readingsReceived().size() << " of " << printed.size() << "\n"
        << err();
    const auto received = readingsReceived();
    ASSERT_EQ(received.size(), printed.size());
    for (std::size_t i = 0; i < received.size(); ++i)
        EXPECT_TRUE(sameValues(received[i], printed[i])) << i << ": " << received[i];
    EXPECT_EQ(droppedInSummary(), 0) << err();
}

TEST_F(KlPollMqttTest, BeyondTheBoundTheOldestReadingsOfAnOutageAreDroppedAndCounted)
{
    SimProcess sim(devices.path(), {"--device", "type=3,serial=2417"});
    ChildProcess logging(logger({"--mqtt-buffer", "15"}), work.file("out"), work.file("err"));
    ASSERT_NO_FATAL_FAILURE(outageThenEnd(logging, 80));

    const auto printed = printedReadings(out());
    const long dropped = droppedInSummary();
    ASSERT_GT(dropped, 0) << err();
    const std::size_t expected = printed.size() - static_cast<std::size_t>(dropped);
    ASSERT_TRUE(waitFor([&] { return readingsReceived().size() >= expected; }, std::chrono::seconds(20)))
        << readingsReceived().size() << " of " << expected << "\n"
        << err();
    // What came is every reading but one stretch of `dropped` readings
    // taken during the outage, the rest in order.
    const auto received = readingsReceived();
    ASSERT_EQ(received.size(), expected);
    std::size_t gap = 0;
    while (gap < received.size() && sameValues(received[gap], printed[gap]))
        ++gap;
    EXPECT_GE(gap, 20u);
    for (std::size_t i = gap; i < received.size(); ++i)
        EXPECT_TRUE(sameValues(received[i], printed[i + static_cast<std::size_t>(dropped)])) << i;
}

TEST_F(KlPollMqttTest, TheDevicesStatusFollowsTheLine)
{
    auto sim = std::make_unique<SimProcess>(devices.path(), std::vector<std::string>{"--device", "type=3,serial=2417"});
    ChildProcess logging(logger({"--attempts", "1", "--timeout", "100"}), work.file("out"), work.file("err"));
    const auto stateIs = [&](const std::string& state, const std::string& reason) {
        return waitFor(
            [&] {
                const auto status = subscriber->payloads("kl/test/1/status");
                return !status.empty() && jsonField(status.back(), "state") == state
                    && jsonField(status.back(), "reason") == reason;
            },
            std::chrono::seconds(20));
    };
    ASSERT_TRUE(stateIs("online", "")) << err();
    sim->pause();
    EXPECT_TRUE(stateIs("offline", "device silent")) << err();
    sim->resume();
    EXPECT_TRUE(stateIs("online", "")) << err();
    sim->kill();
    EXPECT_TRUE(stateIs("offline", "port lost")) << err();
    sim = std::make_unique<SimProcess>(devices.path(), std::vector<std::string>{"--device", "type=3,serial=2417"});
    EXPECT_TRUE(stateIs("online", "")) << err();
    // Each change once, retained for a subscriber that comes later.
    EXPECT_EQ(subscriber->payloads("kl/test/1/status").size(), 5u)
        << ::testing::PrintToString(subscriber->payloads("kl/test/1/status"));
    MqttSubscriber later(broker.port(), kUser, kPassword, "kl/test/1/status");
    ASSERT_TRUE(waitFor([&] { return !later.messages().empty(); }));
    EXPECT_TRUE(later.messages().front().retained);
    EXPECT_EQ(jsonField(later.messages().front().payload, "state"), "online");
}

TEST_F(KlPollMqttTest, ALoggerKilledLeavesItsLastWillOffline)
{
    SimProcess sim(devices.path(), {"--device", "type=3,serial=2417"});
    ChildProcess logging(logger({}), work.file("out"), work.file("err"));
    ASSERT_TRUE(waitFor([&] { return readingsReceived().size() >= 5; }, std::chrono::seconds(20))) << err();
    ASSERT_EQ(jsonField(subscriber->payloads("kl/test/status").back(), "state"), "online");
    ASSERT_TRUE(logging.signal(SIGKILL));
    ASSERT_TRUE(waitFor(
        [&] {
            const auto status = subscriber->payloads("kl/test/status");
            return jsonField(status.back(), "state") == "offline";
        },
        std::chrono::seconds(10)));
    EXPECT_EQ(jsonField(subscriber->payloads("kl/test/status").back(), "reason"), "logger lost");
}

TEST_F(KlPollMqttTest, OverTlsTheBrokerIsCheckedAgainstTheCaFile)
{
    const std::string ca = broker.addTlsListener();
    ASSERT_FALSE(ca.empty()) << "openssl";
    ASSERT_TRUE(broker.start()) << broker.log();
    subscriber = std::make_unique<MqttSubscriber>(broker.port(), kUser, kPassword, "kl/test/#");
    ASSERT_TRUE(waitFor([&] { return subscriber->subscribed(); }, std::chrono::seconds(10)));
    SimProcess sim(devices.path(), {"--device", "type=3,serial=2417"});
    const std::string url = "mqtts://localhost:" + std::to_string(broker.tlsPort());
    {
        ChildProcess logging(poll({"--period", "20", "--count", "10", "--mqtt", url, "--mqtt-ca", ca,
                                   "--mqtt-credentials", work.file("credentials"), "--mqtt-topic", "kl/test"}),
                             work.file("out"), work.file("err"));
        ASSERT_EQ(logging.wait(std::chrono::seconds(30)).value_or(-1), 0) << err();
        EXPECT_TRUE(waitFor([&] { return readingsReceived().size() == 10; })) << err();
    }
    // Without the CA file the system's authorities do not know the broker:
    // the logger logs on and says that the broker is out of reach.
    ChildProcess logging(poll({"--period", "20", "--count", "10", "--mqtt", url, "--mqtt-credentials",
                               work.file("credentials"), "--mqtt-topic", "kl/test"}),
                         work.file("out"), work.file("err"));
    ASSERT_EQ(logging.wait(std::chrono::seconds(30)).value_or(-1), 0) << err();
    EXPECT_NE(err().find("нет связи с брокером"), std::string::npos) << err();
    EXPECT_NE(err().find("не отправлено: 10"), std::string::npos) << err();
    EXPECT_EQ(readingsReceived().size(), 10u);
}

TEST_F(KlPollMqttTest, AWrongPasswordStopsTheLoggerAtStartWithAClearMessage)
{
    writeCredentials("wrong");
    SimProcess sim(devices.path(), {"--device", "type=3,serial=2417"});
    ChildProcess logging(logger({}), work.file("out"), work.file("err"));
    EXPECT_EQ(logging.wait(std::chrono::seconds(15)).value_or(-1), 1) << err();
    EXPECT_NE(err().find("kl_poll: брокер MQTT 127.0.0.1:" + std::to_string(broker.port())
                         + " не принял подключение: "),
              std::string::npos)
        << err();
    EXPECT_NE(err().find("неверное имя пользователя или пароль"), std::string::npos) << err();
    EXPECT_FALSE(std::ifstream(work.file("r.tdf")).good());
    EXPECT_TRUE(printedReadings(out()).empty());
}

}  // namespace
