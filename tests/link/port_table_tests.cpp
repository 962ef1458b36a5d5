// The port table: building it from the namespace, opening ports with the
// devices' line settings, names, time-outs and the records of open ports.
#include <kcmb.h>

#include "platform/device_names.h"
#include "platform/fake_serial_port.h"
#include "platform/sync.h"
#include "test_support.h"
#include "case_names.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::caseName;

namespace {

// A device folder with links COM1, COM7 and COM300, and a fake line under COM7.
class PortTableTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"COM1", "COM7", "COM300"})
            fs::create_symlink("/dev/null", dir.file(name));
        platform::registerFakeDevice("COM7", line);
        ASSERT_TRUE(KCInit());
    }
    void TearDown() override
    {
        KCClose();
        platform::unregisterFakeDevice("COM7");
        platform::unregisterFakeDevice("COM8");
    }

    TempDir dir;
    ScopedEnv env{"KL_DEVICE_DIR", dir.path()};
    std::shared_ptr<platform::FakeLine> line = std::make_shared<platform::FakeLine>();
};

TEST_F(PortTableTest, APortThatAppearsAfterTheStartIsListedAndOpens)
{
    HandleGuard seven = KCOpenPort("COM7", 5);
    EXPECT_TRUE(platform::isUsableHandle(seven.get()));
    EXPECT_NE(getKCPortInfo(seven.get()), nullptr);

    // Adapters plugged in after the table was built, above the highest
    // number there was then, up to the last one a table has.
    for (int number : {12, 254}) {
        SCOPED_TRACE(number);
        testing_support::PtyPeer late(dir.path(), number);
        const std::string name = "COM" + std::to_string(number);
        const auto names = platform::listDeviceNames();
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end());
        KCOpenError why = KC_OPEN_FAILED;
        HandleGuard opened = KCOpenPortWhy(name.c_str(), 5, &why);
        ASSERT_TRUE(platform::isUsableHandle(opened.get()));
        EXPECT_EQ(why, KC_OPEN_OK);
        EXPECT_NE(getKCPortInfo(opened.get()), nullptr);
    }
    EXPECT_EQ(KCOpenPort("COM255", 5).get(), platform::invalidHandle());
}

TEST_F(PortTableTest, OpeningConfiguresTheLineAndRecordsThePort)
{
    HandleGuard guard = KCOpenPort("\\\\.\\COM7", 4);
    ASSERT_TRUE(platform::isUsableHandle(guard.get()));
    const platform::LineSettings s = line->settings();
    EXPECT_EQ(s.baudRate, 9600u);
    EXPECT_EQ(s.dataBits, 8);
    EXPECT_EQ(s.parity, platform::Parity::None);
    EXPECT_EQ(s.stopBits, platform::StopBits::One);
    EXPECT_EQ(s.dtrControl, platform::LineControl::Disable) << "line bytes of a new entry leave DTR off";
    EXPECT_EQ(s.rtsControl, platform::LineControl::Disable);

    KCPortInfo* info = getKCPortInfo(guard.get());
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->hPort, guard.get());
    EXPECT_NE(info->hMutex, nullptr);
    EXPECT_EQ(info->state, 0);
    EXPECT_EQ(info->sendDTR, 255);
    EXPECT_EQ(info->recvRTS, 255);
}

struct BaudCase {
    int code;
    std::uint32_t baud;
};

class BaudCodeTest : public PortTableTest, public ::testing::WithParamInterface<BaudCase> {};

TEST_P(BaudCodeTest, SetsTheSpeedOfTheCode)
{
    HandleGuard guard = KCOpenPort("COM7", static_cast<char>(GetParam().code));
    ASSERT_TRUE(platform::isUsableHandle(guard.get()));
    EXPECT_EQ(line->settings().baudRate, GetParam().baud);
}

INSTANTIATE_TEST_SUITE_P(Codes, BaudCodeTest,
                         ::testing::Values(BaudCase{0, 600}, BaudCase{1, 1200}, BaudCase{2, 2400}, BaudCase{3, 4800},
                                           BaudCase{4, 9600}, BaudCase{5, 19200}, BaudCase{6, 38400},
                                           BaudCase{7, 57600}, BaudCase{8, 115200}, BaudCase{9, 19200},
                                           BaudCase{-1, 19200}),
                         [](const auto& info) { return caseName("Code", info.param.code, "Baud", info.param.baud); });

TEST_F(PortTableTest, TheReadTimeOutStartsAt2000AndSetReturnsThePreviousOne)
{
    HandleGuard guard = KCOpenPort("COM7", 5);
    EXPECT_EQ(KCGetTimeOut(guard.get()), 2000);
    EXPECT_EQ(KCSetTimeOut(guard.get(), 100), 2000);
    EXPECT_EQ(KCSetTimeOut(guard.get(), 100), 100);
    const platform::Timeouts t = line->timeouts();
    EXPECT_EQ(t.readInterval, platform::kMaxTimeout);
    EXPECT_EQ(t.readMultiplier, platform::kMaxTimeout);
    EXPECT_EQ(KCSetTimeOut(guard.get(), -5), -1);
    EXPECT_EQ(KCGetTimeOut(nullptr), -1);
    EXPECT_EQ(KCSetTimeOut(platform::invalidHandle(), 100), -1);
}

TEST_F(PortTableTest, ReopeningGivesANewMutexAndKeepsTheLineBytes)
{
    HandleGuard first = KCOpenPort("COM7", 5);
    KCPortInfo* info = getKCPortInfo(first.get());
    ASSERT_NE(info, nullptr);
    info->sendDTR = 1;
    info->sendRTS = 1;
    info->recvRTS = 0;
    void* port = first.release();
    KCClosePort(port);
    EXPECT_EQ(info->hPort, nullptr);
    EXPECT_EQ(info->hMutex, nullptr);
    EXPECT_FALSE(line->isOpen());

    HandleGuard second = KCOpenPort("COM7", 5);
    ASSERT_EQ(getKCPortInfo(second.get()), info);
    EXPECT_NE(info->hMutex, nullptr);
    EXPECT_TRUE(platform::waitForMutex(info->hMutex, 0)) << "the new mutex must be free";
    platform::releaseMutex(info->hMutex);
    EXPECT_EQ(info->sendDTR, 1);
    EXPECT_EQ(info->recvRTS, 0);
    // From the second opening on, the line bytes act on the line settings.
    EXPECT_EQ(line->settings().dtrControl, platform::LineControl::Enable);
    EXPECT_EQ(line->settings().rtsControl, platform::LineControl::Enable);
}

TEST_F(PortTableTest, TheGuardClosesAPortThatWasNotTakenOver)
{
    {
        HandleGuard probe = KCOpenPort("COM7", 5);
        ASSERT_TRUE(line->isOpen());
    }
    EXPECT_FALSE(line->isOpen());
    void* kept = nullptr;
    {
        HandleGuard guard = KCOpenPort("COM7", 5);
        kept = guard.release();
    }
    EXPECT_TRUE(line->isOpen());
    KCClosePort(kept);
    EXPECT_FALSE(line->isOpen());
}

TEST_F(PortTableTest, NamesWithoutAnEntryAreRefused)
{
    EXPECT_EQ(KCOpenPort(nullptr, 5).get(), platform::invalidHandle());
    EXPECT_EQ(KCOpenPort("/dev/null", 5).get(), platform::invalidHandle()) << "no COM number";
    EXPECT_EQ(KCOpenPort("COM0", 5).get(), platform::invalidHandle());
    EXPECT_EQ(KCOpenPort("COM2", 5).get(), platform::invalidHandle()) << "entry without a device";
    EXPECT_EQ(KCOpenPort("COM255", 5).get(), platform::invalidHandle());
}

TEST_F(PortTableTest, AnOpenBeforeInitIsRefused)
{
    KCClose();
    EXPECT_EQ(KCOpenPort("COM7", 5).get(), platform::invalidHandle());
    EXPECT_FALSE(line->isOpen());
}

TEST_F(PortTableTest, CloseIsAlwaysTrueAndForgetsTheRecords)
{
    HandleGuard guard = KCOpenPort("COM7", 5);
    EXPECT_TRUE(KCClose());
    EXPECT_EQ(getKCPortInfo(guard.get()), nullptr);
    EXPECT_TRUE(KCClose());
    EXPECT_TRUE(KCInit()) << "a new table after the end";
}

TEST_F(PortTableTest, AHandleOpenedElsewhereHasNoRecord)
{
    auto other = std::make_shared<platform::FakeLine>();
    HandleGuard guard(platform::adoptSerialPort(std::make_unique<platform::FakeSerialPort>(other)));
    EXPECT_EQ(getKCPortInfo(guard.get()), nullptr);
    EXPECT_EQ(getKCPortInfo(nullptr), nullptr);
}

TEST_F(PortTableTest, AGuardThatClosesAProbeReleasesWhatKCClosePortReleases)
{
    KCPortInfo* info = nullptr;
    {
        HandleGuard probe = KCOpenPort("COM7", 5);
        info = getKCPortInfo(probe.get());
        ASSERT_NE(info, nullptr);
        ASSERT_NE(info->hMutex.load(), nullptr);
    }
    EXPECT_EQ(info->hPort.load(), nullptr) << "the entry still names the closed port";
    EXPECT_EQ(info->hMutex.load(), nullptr) << "the mutex leaked";
}

TEST_F(PortTableTest, AClosedHandleStaysInvalidWhenItsSlotIsReused)
{
    HandleGuard first = KCOpenPort("COM7", 5);
    void* stale = first.get();
    first.reset();
    HandleGuard second = KCOpenPort("COM7", 5);
    ASSERT_TRUE(second);
    EXPECT_NE(second.get(), stale);
    EXPECT_EQ(getKCPortInfo(stale), nullptr);
    EXPECT_EQ(KCGetTimeOut(stale), -1);
    unsigned short status = 0;
    EXPECT_EQ(readException(stale, 1, &status), 7);
    EXPECT_TRUE(line->written().empty()) << "nothing sent through a stale handle";
    EXPECT_FALSE(platform::closeHandle(stale));
    EXPECT_TRUE(line->isOpen()) << "closing the stale handle left the new port alone";
}

TEST_F(PortTableTest, AnEntryOfAPortClosedBehindTheTablesBackIsNotReused)
{
    HandleGuard first = KCOpenPort("COM7", 5);
    KCPortInfo* info = getKCPortInfo(first.get());
    void* oldMutex = info->hMutex.load();
    // Closed by the platform layer, not by KCClosePort: the entry is stale.
    ASSERT_TRUE(platform::closeHandle(first.release()));
    HandleGuard second = KCOpenPort("COM7", 5);
    ASSERT_TRUE(second);
    EXPECT_EQ(getKCPortInfo(second.get()), info);
    EXPECT_NE(info->hMutex.load(), oldMutex);
    EXPECT_FALSE(platform::waitForMutex(oldMutex, 0)) << "the stale entry's mutex was closed";
    EXPECT_TRUE(platform::waitForMutex(info->hMutex.load(), 0));
    platform::releaseMutex(info->hMutex.load());
}

TEST_F(PortTableTest, SyncHandlesClosedOnceAreInvalidForGood)
{
    void* mutex = platform::createMutex(nullptr);
    void* event = platform::createEvent(nullptr, true, false);
    ASSERT_TRUE(platform::closeHandle(mutex));
    ASSERT_TRUE(platform::closeHandle(event));
    void* newer = platform::createEvent(nullptr, true, true);
    EXPECT_FALSE(platform::waitForMutex(mutex, 0));
    EXPECT_FALSE(platform::setEvent(event));
    EXPECT_FALSE(platform::waitForEvent(event, 0));
    EXPECT_TRUE(platform::waitForEvent(newer, 0));
    platform::closeHandle(newer);
}

TEST_F(PortTableTest, KCOpenPortSaysWhyAPortFailed)
{
    KCOpenError why = KC_OPEN_OK;
    EXPECT_FALSE(KCOpenPortWhy("COM1", 5, &why)) << "a link to /dev/null is no serial device";
    EXPECT_EQ(why, KC_OPEN_NOT_SERIAL);
    fs::create_directory(dir.file("folder"));
    fs::create_symlink(dir.file("folder"), dir.file("COM3"));
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    fs::create_symlink(dir.file("fifo"), dir.file("COM4"));
    for (const char* other : {"COM3", "COM4"}) {
        EXPECT_FALSE(KCOpenPortWhy(other, 5, &why)) << other;
        EXPECT_EQ(why, KC_OPEN_NOT_SERIAL) << other;
    }
    fs::create_symlink(dir.file("gone"), dir.file("COM5"));
    EXPECT_FALSE(KCOpenPortWhy("COM5", 5, &why)) << "a dangling link";
    EXPECT_EQ(why, KC_OPEN_NOT_FOUND);
    EXPECT_FALSE(KCOpenPortWhy("COM2", 5, &why));
    EXPECT_EQ(why, KC_OPEN_NOT_FOUND);
    HandleGuard held = KCOpenPortWhy("COM7", 5, &why);
    ASSERT_TRUE(held);
    EXPECT_EQ(why, KC_OPEN_OK);
    EXPECT_FALSE(KCOpenPortWhy("\\\\.\\com7", 5, &why));
    EXPECT_EQ(why, KC_OPEN_HELD) << "this program holds it, not another one";
}

TEST_F(PortTableTest, WorkersLookingUpPortsDoNotRaceWithOpeningAndClosing)
{
    HandleGuard seven = KCOpenPort("COM7", 5);
    void* port = seven.get();
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done)
            ASSERT_NE(getKCPortInfo(port), nullptr);
    });
    auto other = std::make_shared<platform::FakeLine>();
    platform::registerFakeDevice("COM1", other);
    for (int i = 0; i < 200; ++i) {
        HandleGuard one = KCOpenPort("COM1", 5);
        ASSERT_TRUE(one);
    }
    done = true;
    reader.join();
    platform::unregisterFakeDevice("COM1");
}

struct PortNameCase {
    const char* name;
    int number;
};

class PortNumber : public ::testing::TestWithParam<PortNameCase> {};

TEST_P(PortNumber, IsTheNumberAfterTheFirstCom)
{
    EXPECT_EQ(GetPortNum(GetParam().name), GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(Names, PortNumber,
                         ::testing::Values(PortNameCase{"COM3", 3}, PortNameCase{"com3", 3},
                                           PortNameCase{"\\\\.\\COM12", 12}, PortNameCase{"LPT1", 0},
                                           PortNameCase{"COM", 0}, PortNameCase{"xcom 5", 5},
                                           PortNameCase{"012345678901234567890123456789com4", 0},
                                           PortNameCase{"0123456789012345678901234567com4", 4},
                                           PortNameCase{"", 0}, PortNameCase{nullptr, 0}),
                         [](const auto& info) { return caseName(info.param.name); });

TEST(PreparePortName, GivesTheDevicePathOfANumberedName)
{
    char out[32];
    EXPECT_STREQ(PreparePortName(out, "COM3"), "\\\\.\\com3");
    EXPECT_STREQ(PreparePortName(out, "\\\\.\\COM12"), "\\\\.\\com12");
    EXPECT_STREQ(PreparePortName(out, "/dev/ttyUSB0"), "/dev/ttyUSB0");
}

TEST(PreparePortName, NeverWritesPastTheGivenSize)
{
    char out[40];
    std::memset(out, 'Z', sizeof out);
    const std::string longName(100, 'x');
    PreparePortName(out, longName.c_str());
    EXPECT_EQ(std::strlen(out), 31u);
    EXPECT_EQ(out[32], 'Z');
    char wide[128];
    EXPECT_EQ(std::string(PreparePortName(wide, longName.c_str(), sizeof wide)), longName);
}

}  // namespace
