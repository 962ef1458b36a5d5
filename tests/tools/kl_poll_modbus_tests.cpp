// kl_poll serving Modbus TCP with kl_sim on a pseudo-terminal, read by a
// libmodbus client: each device's block holds the simulator's values at the
// documented registers; writes are refused with an exception; clients beyond
// the bound are turned away; ten hostile clients (garbage, requests that stop
// halfway, idle connections) leave the serial polling at its period.
#include "kl_poll_fixture.h"
#include "mosquitto_broker.h"
#include "modbus_tcp_server.h"
#include "register_blocks.h"

#include <modbus.h>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <regex>
#include <thread>

using poll_testing::KlPollTest;
using poll_testing::printedReadings;
using poll_testing::tracedRequests;
using testing_support::ChildProcess;
using testing_support::connectLoopback;
using testing_support::readAll;
using testing_support::SimProcess;
using testing_support::waitFor;
using tools::RegisterBlocks;

namespace {

// A libmodbus client, connected, freed at the end of the scope.
struct ModbusClient {
    explicit ModbusClient(int port) : context(modbus_new_tcp("127.0.0.1", port))
    {
        modbus_set_response_timeout(context, 2, 0);
        connected = modbus_connect(context) == 0;
    }
    ~ModbusClient()
    {
        modbus_close(context);
        modbus_free(context);
    }
    ModbusClient(const ModbusClient&) = delete;
    ModbusClient& operator=(const ModbusClient&) = delete;

    modbus_t* context;
    bool connected = false;
};

std::uint32_t wordPair(const std::uint16_t* at) { return (std::uint32_t{at[0]} << 16) | at[1]; }

// Whether the server closed `s` (a read that ends), within the deadline.
bool closedByServer(int s, std::chrono::milliseconds deadline)
{
    const timeval timeout{0, 100000};
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    return waitFor(
        [&] {
            char byte;
            const auto n = ::recv(s, &byte, 1, 0);
            return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
        },
        deadline);
}

class KlPollModbusTest : public KlPollTest {
protected:
    // The port kl_poll says it serves at.
    int servedPort() const
    {
        int port = -1;
        waitFor([&] {
            std::smatch match;
            const std::string text = err();
            static const std::regex served("Modbus TCP: 127\\.0\\.0\\.1:([0-9]+)");
            if (std::regex_search(text, match, served))
                port = std::stoi(match[1]);
            return port > 0;
        });
        return port;
    }
};

TEST_F(KlPollModbusTest, EachDevicesBlockHoldsTheSimulatorsValues)
{
    SimProcess sim(devices.path(), {"--device", "type=3,serial=2417,address=1", "--device",
                                    "type=6,serial=5120,address=2,temp=1500"});
    ChildProcess logging(poll({"--device", "1", "--device", "2", "--period", "50", "--modbus-tcp", "0"}),
                         work.file("out"), work.file("err"));
    const int port = servedPort();
    ASSERT_GT(port, 0) << err();
    ASSERT_TRUE(waitFor(
        [&] {
            return printedReadings(out(), "COM1, адрес 1").size() >= 5
                && printedReadings(out(), "COM1, адрес 2").size() >= 5;
        },
        std::chrono::seconds(20)))
        << err();
    ModbusClient client(port);
    ASSERT_TRUE(client.connected);
    struct Expected {
        int address;
        int type;
        unsigned low, high;  // the measuring range
    } const expected[] = {{1, 3, 200, 1000}, {2, 6, 600, 2200}};
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.address);
        std::uint16_t block[RegisterBlocks::kBlockSize] = {};
        ASSERT_EQ(modbus_read_input_registers(client.context, 16 * e.address, 16, block), 16)
            << modbus_strerror(errno);
        EXPECT_EQ(block[0], 1) << "online";
        EXPECT_GE(block[1], e.low);
        EXPECT_LE(block[1], e.high);
        EXPECT_EQ(block[2], 100) << "emissivity 1.00";
        EXPECT_EQ(block[4], 0) << "mode";
        EXPECT_EQ(block[5], e.type);
        EXPECT_LT(wordPair(block + 6), 2000u) << "age of the reading, ms";
        EXPECT_GE(wordPair(block + 8), 5u) << "readings";
        EXPECT_EQ(wordPair(block + 10), 0u) << "failures";
        // The reading served is one kl_poll logged: its temperature and quantum
        // count together.
        const std::string label = "COM1, адрес " + std::to_string(e.address);
        EXPECT_TRUE(waitFor([&] {
            const auto printed = printedReadings(out(), label);
            return std::any_of(printed.begin(), printed.end(), [&](const poll_testing::PrintedReading& r) {
                return r.words[0] == block[1] && r.words[4] == block[3];
            });
        })) << block[1] << " " << block[3];
    }
    std::uint16_t unused[16];
    ASSERT_EQ(modbus_read_input_registers(client.context, 16 * 3, 16, unused), 16);
    EXPECT_TRUE(std::all_of(unused, unused + 16, [](std::uint16_t w) { return w == 0; }));
    EXPECT_EQ(modbus_read_input_registers(client.context, RegisterBlocks::kRegisters - 1, 2, unused), -1);
    EXPECT_EQ(errno, EMBXILADD);

    // The device silent: its state says so, its age grows. The counts follow
    // at the end of the turn that found it silent.
    sim.pause();
    std::uint16_t block[16] = {};
    EXPECT_TRUE(waitFor(
        [&] {
            return modbus_read_input_registers(client.context, 16, 16, block) == 16 && block[0] == 3
                && wordPair(block + 14) >= 1u;
        },
        std::chrono::seconds(30)))
        << "state " << block[0] << ", tries without a reply " << wordPair(block + 14);
    EXPECT_GE(wordPair(block + 6), 1000u);
    sim.resume();
}

TEST_F(KlPollModbusTest, WritesAreRefusedWithAnException)
{
    SimProcess sim(devices.path(), {"--device", "type=3,serial=2417"});
    ChildProcess logging(poll({"--period", "50", "--modbus-tcp", "127.0.0.1:0"}), work.file("out"),
                         work.file("err"));
    const int port = servedPort();
    ASSERT_GT(port, 0) << err();
    ModbusClient client(port);
    ASSERT_TRUE(client.connected);
    const std::uint16_t words[2] = {1, 2};
    EXPECT_EQ(modbus_write_register(client.context, 16, 7), -1);
    EXPECT_EQ(errno, EMBXILFUN);
    EXPECT_EQ(modbus_write_registers(client.context, 16, 2, words), -1);
    EXPECT_EQ(errno, EMBXILFUN);
    EXPECT_EQ(modbus_write_bit(client.context, 0, 1), -1);
    EXPECT_EQ(errno, EMBXILFUN);
    std::uint16_t read[2];
    EXPECT_EQ(modbus_read_registers(client.context, 16, 2, read), -1);
    EXPECT_EQ(errno, EMBXILFUN);
    // The connection serves on after the refusals.
    EXPECT_EQ(modbus_read_input_registers(client.context, 16, 2, read), 2);
}

TEST_F(KlPollModbusTest, HostileClientsLeaveTheSerialPollingAtItsPeriod)
{
    const std::string trace = work.file("trace");
    SimProcess sim(devices.path(), {"--trace", trace, "--device", "type=3,serial=2417"});
    ChildProcess logging(poll({"--period", "50", "--modbus-tcp", "0"}), work.file("out"), work.file("err"));
    const int port = servedPort();
    ASSERT_GT(port, 0) << err();
    ASSERT_TRUE(waitFor([&] { return printedReadings(out()).size() >= 5; }, std::chrono::seconds(20))) << err();

    // Up to the bound the clients are taken; one more is closed at once.
    std::vector<int> idle;
    for (int i = 0; i < tools::ModbusTcpServer::kMaxClients; ++i)
        idle.push_back(connectLoopback(port));
    ASSERT_TRUE(std::all_of(idle.begin(), idle.end(), [](int s) { return s >= 0; }));
    const int oneMore = connectLoopback(port);
    EXPECT_TRUE(closedByServer(oneMore, std::chrono::seconds(5)));
    ::close(oneMore);
    for (const int s : idle)
        ::close(s);

    const std::size_t start = tracedRequests(readAll(trace)).size();
    const std::size_t readingsBefore = printedReadings(out()).size();
    // Ten clients: garbage, requests that stop halfway, a flood of reads.
    std::vector<int> hostile;
    for (int i = 0; i < 10; ++i)
        hostile.push_back(connectLoopback(port));
    const std::string halfRequest("\x00\x01\x00\x00\x00\x06\x01\x04\x00", 9);
    for (int round = 0; printedReadings(out()).size() < readingsBefore + 60 && round < 2000; ++round) {
        for (std::size_t i = 0; i < hostile.size(); ++i) {
            if (hostile[i] < 0)
                continue;
            std::string bytes;
            if (i % 3 == 0)
                bytes = "\xff\xfe garbage \x00\x07 that is no request at all" + std::to_string(round);
            else if (i % 3 == 1)
                bytes = halfRequest;
            else
                bytes = std::string("\x00\x02\x00\x00\x00\x06\x01\x04\x00\x10\x00\x10", 12);
            if (::send(hostile[i], bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0) {
                ::close(hostile[i]);
                hostile[i] = connectLoopback(port);
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));  // the pace of the flood
    }
    for (const int s : hostile)
        if (s >= 0)
            ::close(s);
    ASSERT_GE(printedReadings(out()).size(), readingsBefore + 60) << err();

    // The line's measurement requests came a period apart all along.
    std::vector<long> times;
    const auto requests = tracedRequests(readAll(trace));
    for (std::size_t i = start; i < requests.size(); ++i)
        if (requests[i].isMeasurement())
            times.push_back(requests[i].ms);
    ASSERT_GE(times.size(), 60u);
    std::vector<long> gaps;
    for (std::size_t i = 1; i < times.size(); ++i)
        gaps.push_back(times[i] - times[i - 1]);
    std::sort(gaps.begin(), gaps.end());
    EXPECT_GE(gaps[gaps.size() / 2], 40);
    EXPECT_LE(gaps[gaps.size() / 2], 70);
    EXPECT_LE(gaps.back(), 600) << "the longest pause between readings, ms";
    EXPECT_EQ(err().find("Ошибка"), std::string::npos) << err();
    ModbusClient client(port);
    ASSERT_TRUE(client.connected);
    std::uint16_t block[16];
    EXPECT_EQ(modbus_read_input_registers(client.context, 16, 16, block), 16);
}

}  // namespace
