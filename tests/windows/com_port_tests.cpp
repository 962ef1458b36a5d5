// The Win32 serial backend on COM ports that wine maps to kl_sim's
// pseudo-terminals: opening, the read time-outs, the wait on a port and
// events together, purging and draining.
#include "platform/device_names.h"
#include "platform/port_wait.h"
#include "platform/serial.h"
#include "platform/sync.h"
#include "sim_lines.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

namespace {

using namespace std::chrono;
using platform::Handle;

// The Modbus ASCII request for the state byte (function 7) of a device.
std::string stateRequest(int address)
{
    const unsigned lrc = (0x100 - ((address + 7) & 0xFF)) & 0xFF;
    char frame[16];
    std::snprintf(frame, sizeof frame, ":%02X07%02X\r\n", address, lrc);
    return frame;
}

struct OpenPort {
    explicit OpenPort(const char* name)
        : handle(platform::openSerialPort(name, &why))
    {
        platform::LineSettings line;
        platform::buildLineSettings("baud=19200 parity=N data=8 stop=1", line);
        if (platform::isUsableHandle(handle))
            platform::setLineSettings(handle, line);
    }
    ~OpenPort()
    {
        if (platform::isUsableHandle(handle))
            platform::closeHandle(handle);
    }
    platform::OpenError why = platform::OpenError::Other;
    Handle handle;
};

long long msSince(steady_clock::time_point start)
{
    return duration_cast<milliseconds>(steady_clock::now() - start).count();
}

TEST(ComPortNames, TheMappedPortsAreListedFromTheSystem)
{
    const auto names = platform::listDeviceNames();
    for (const char* name : {sim_lines::kPyrometerLine, sim_lines::kEchoLine, sim_lines::kStreamLine})
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
    EXPECT_EQ(std::find(names.begin(), names.end(), sim_lines::kMissingLine), names.end());
    EXPECT_EQ(platform::findDevicePath("com1"), std::string("\\\\.\\COM1"));
    EXPECT_EQ(platform::findDevicePath("\\\\.\\com03"), std::string("\\\\.\\COM3"));
}

// A second opener of a port is refused by a Windows serial driver; wine's
// serial layer does not refuse it, so that case is left to the port table
// (KC_OPEN_HELD, link_com_tests.cpp) here.
TEST(ComPortOpening, APortOpensAndSaysWhyItDoesNot)
{
    OpenPort first(sim_lines::kPyrometerLine);
    ASSERT_TRUE(platform::isUsableHandle(first.handle));
    EXPECT_EQ(first.why, platform::OpenError::None);

    OpenPort missing(sim_lines::kMissingLine);
    EXPECT_FALSE(platform::isUsableHandle(missing.handle));
    EXPECT_EQ(missing.why, platform::OpenError::NotFound);

    // A file is no serial port. (Its name must not be COM<n> with an
    // extension, which Windows takes for the port.)
    testing_support::TempDir dir;
    const std::string file = dir.file("plain.txt");
    std::fclose(std::fopen(file.c_str(), "wb"));
    OpenPort notSerial(file.c_str());
    EXPECT_FALSE(platform::isUsableHandle(notSerial.handle));
    EXPECT_EQ(notSerial.why, platform::OpenError::NotSerial);
}

// A pseudo-terminal keeps 8 data bits without parity whatever is asked, so
// the speed and the stop bits are what can be seen to change here.
TEST(ComPortLine, TheLineSettingsAreThoseApplied)
{
    OpenPort port(sim_lines::kPyrometerLine);
    ASSERT_TRUE(platform::isUsableHandle(port.handle));
    platform::LineSettings line;
    ASSERT_TRUE(platform::buildLineSettings("baud=9600 parity=N data=8 stop=2", line));
    ASSERT_TRUE(platform::setLineSettings(port.handle, line));
    platform::LineSettings read;
    ASSERT_TRUE(platform::getLineSettings(port.handle, read));
    EXPECT_EQ(read.baudRate, 9600u);
    EXPECT_EQ(read.dataBits, 8);
    EXPECT_EQ(read.stopBits, platform::StopBits::Two);
    ASSERT_TRUE(platform::buildLineSettings("baud=115200 stop=1", line));
    ASSERT_TRUE(platform::setLineSettings(port.handle, line));
    ASSERT_TRUE(platform::getLineSettings(port.handle, read));
    EXPECT_EQ(read.baudRate, 115200u);
    EXPECT_EQ(read.stopBits, platform::StopBits::One);
}

TEST(ComPortReading, AFirstByteReadWaitsItsConstantOnASilentLine)
{
    OpenPort port(sim_lines::kPyrometerLine);
    ASSERT_TRUE(platform::isUsableHandle(port.handle));
    ASSERT_TRUE(platform::setTimeouts(port.handle, {platform::kMaxTimeout, platform::kMaxTimeout, 300, 0, 0}));
    char byte = 0;
    std::uint32_t got = 1;
    const auto start = steady_clock::now();
    ASSERT_TRUE(platform::readPort(port.handle, &byte, 1, got));
    const long long elapsed = msSince(start);
    EXPECT_EQ(got, 0u);
    EXPECT_GE(elapsed, 290);
    EXPECT_LT(elapsed, 1500);
}

TEST(ComPortReading, AReplyEndsTheWaitWithItsFirstBytesAndTheRestFollows)
{
    OpenPort port(sim_lines::kPyrometerLine);
    ASSERT_TRUE(platform::isUsableHandle(port.handle));
    ASSERT_TRUE(platform::setTimeouts(port.handle, {platform::kMaxTimeout, platform::kMaxTimeout, 3000, 0, 0}));
    const std::string request = stateRequest(sim_lines::kPyrometer);
    std::uint32_t written = 0;
    ASSERT_TRUE(platform::writePort(port.handle, request.data(), static_cast<std::uint32_t>(request.size()), written));
    ASSERT_EQ(written, request.size());
    EXPECT_TRUE(platform::drainPort(port.handle, 1000));

    // ":01" "07" status LRC CR LF: 11 characters.
    std::string reply;
    const auto start = steady_clock::now();
    while (reply.size() < 11 && msSince(start) < 3000) {
        char buffer[32];
        std::uint32_t got = 0;
        ASSERT_TRUE(platform::readPort(port.handle, buffer, sizeof buffer, got));
        reply.append(buffer, got);
    }
    EXPECT_LT(msSince(start), 2000) << "the read waited for its whole constant";
    ASSERT_EQ(reply.size(), 11u) << reply;
    EXPECT_EQ(reply.substr(0, 5), ":0107");
    EXPECT_EQ(reply.substr(9), "\r\n");
}

TEST(ComPortReading, PurgingDropsAReplyThatCame)
{
    OpenPort port(sim_lines::kPyrometerLine);
    ASSERT_TRUE(platform::isUsableHandle(port.handle));
    const std::string request = stateRequest(sim_lines::kPyrometer);
    std::uint32_t written = 0;
    ASSERT_TRUE(platform::writePort(port.handle, request.data(), static_cast<std::uint32_t>(request.size()), written));
    const Handle stop = platform::createEvent(nullptr, true, false);
    ASSERT_EQ(platform::waitForPortOrEvents(port.handle, &stop, 1, 3000), 1);
    // The whole reply is in once nothing more comes for a while.
    std::this_thread::sleep_for(milliseconds(50));
    ASSERT_TRUE(platform::purgePort(port.handle, platform::kPurgeRxClear | platform::kPurgeTxClear));
    char buffer[32];
    std::uint32_t got = 99;
    ASSERT_TRUE(platform::readWaiting(port.handle, buffer, sizeof buffer, got));
    EXPECT_EQ(got, 0u);
    platform::closeHandle(stop);
}

TEST(ComPortWait, AnEventEndsAWaitOnASilentPort)
{
    OpenPort port(sim_lines::kPyrometerLine);
    ASSERT_TRUE(platform::isUsableHandle(port.handle));
    const Handle events[2] = {platform::createEvent(nullptr, true, false), platform::createEvent(nullptr, false, false)};

    auto start = steady_clock::now();
    EXPECT_EQ(platform::waitForPortOrEvents(port.handle, events, 2, 150), -1);
    EXPECT_GE(msSince(start), 140);

    std::thread setter([&] {
        std::this_thread::sleep_for(milliseconds(50));
        platform::setEvent(events[1]);
    });
    start = steady_clock::now();
    EXPECT_EQ(platform::waitForPortOrEvents(port.handle, events, 2, 5000), 1);
    EXPECT_LT(msSince(start), 2000);
    setter.join();
    // The auto-reset event was taken by the wait.
    EXPECT_FALSE(platform::waitForEvent(events[1], 0));
    for (Handle e : events)
        platform::closeHandle(e);
}

TEST(ComPortWait, AReplyEndsAWaitBeforeItsLimit)
{
    OpenPort port(sim_lines::kPyrometerLine);
    ASSERT_TRUE(platform::isUsableHandle(port.handle));
    const Handle stop = platform::createEvent(nullptr, true, false);
    const std::string request = stateRequest(sim_lines::kPyrometer);
    std::uint32_t written = 0;
    ASSERT_TRUE(platform::writePort(port.handle, request.data(), static_cast<std::uint32_t>(request.size()), written));
    const auto start = steady_clock::now();
    EXPECT_EQ(platform::waitForPortOrEvents(port.handle, &stop, 1, 5000), 1);
    EXPECT_LT(msSince(start), 2000);
    platform::closeHandle(stop);
}

TEST(NamedObjects, ANameOpensTheSameEventOfTheSystem)
{
    const Handle a = platform::createEvent("kl_windows_test_event", true, false);
    const Handle b = platform::createEvent("kl_windows_test_event", true, false);
    ASSERT_TRUE(platform::isUsableHandle(a));
    ASSERT_TRUE(platform::isUsableHandle(b));
    platform::setEvent(a);
    EXPECT_TRUE(platform::waitForEvent(b, 0));
    // The system's own object: the Win32 functions see it under its name.
    const HANDLE raw = ::OpenEventW(SYNCHRONIZE, FALSE, L"kl_windows_test_event");
    ASSERT_NE(raw, nullptr);
    EXPECT_EQ(::WaitForSingleObject(raw, 0), WAIT_OBJECT_0);
    ::CloseHandle(raw);
    platform::closeHandle(a);
    platform::closeHandle(b);
    // A closed handle stays invalid.
    EXPECT_FALSE(platform::setEvent(a));
}

TEST(NamedObjects, AMutexHeldByAnotherThreadTimesOut)
{
    const Handle mutex = platform::createMutex("kl_windows_test_mutex");
    ASSERT_TRUE(platform::waitForMutex(mutex, 0));
    bool other = true;
    std::thread([&] { other = platform::waitForMutex(mutex, 50); }).join();
    EXPECT_FALSE(other);
    EXPECT_TRUE(platform::releaseMutex(mutex));
    std::thread([&] {
        other = platform::waitForMutex(mutex, 50);
        platform::releaseMutex(mutex);
    }).join();
    EXPECT_TRUE(other);
    platform::closeHandle(mutex);
}

}  // namespace
