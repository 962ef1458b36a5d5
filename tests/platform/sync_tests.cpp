// Named mutexes and events shared by the threads of the process.
#include "platform/sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

struct Closer {
    platform::Handle h;
    ~Closer() { platform::closeHandle(h); }
};

TEST(NamedMutex, OneNameIsOneMutexAcrossHandles)
{
    Closer a{platform::createMutex("KLMB_test_shared")};
    Closer b{platform::createMutex("KLMB_test_shared")};
    ASSERT_TRUE(platform::waitForMutex(a.h, 0));
    bool other = true;
    std::thread([&] { other = platform::waitForMutex(b.h, 50); }).join();
    EXPECT_FALSE(other) << "a second handle of the same name took a held mutex";
    EXPECT_TRUE(platform::releaseMutex(a.h));
    std::thread([&] {
        other = platform::waitForMutex(b.h, 1000);
        platform::releaseMutex(b.h);
    }).join();
    EXPECT_TRUE(other);
}

TEST(NamedMutex, DifferentNamesDoNotBlockEachOther)
{
    Closer a{platform::createMutex("KLMB_one")};
    Closer b{platform::createMutex("KLMB_two")};
    ASSERT_TRUE(platform::waitForMutex(a.h, 0));
    bool other = false;
    std::thread([&] {
        other = platform::waitForMutex(b.h, 0);
        platform::releaseMutex(b.h);
    }).join();
    EXPECT_TRUE(other);
    platform::releaseMutex(a.h);
}

TEST(NamedMutex, TheOwnerMayTakeItAgainAndOnlyTheOwnerReleases)
{
    Closer m{platform::createMutex(nullptr)};
    ASSERT_TRUE(platform::waitForMutex(m.h, 0));
    ASSERT_TRUE(platform::waitForMutex(m.h, 0));
    bool released = true;
    std::thread([&] { released = platform::releaseMutex(m.h); }).join();
    EXPECT_FALSE(released);
    EXPECT_TRUE(platform::releaseMutex(m.h));
    bool taken = true;
    std::thread([&] { taken = platform::waitForMutex(m.h, 0); }).join();
    EXPECT_FALSE(taken) << "released once after being taken twice, yet free";
    EXPECT_TRUE(platform::releaseMutex(m.h));
    EXPECT_FALSE(platform::releaseMutex(m.h));
}

TEST(NamedMutex, AWaiterGetsTheMutexWhenItIsReleased)
{
    Closer m{platform::createMutex("KLMB_handover")};
    ASSERT_TRUE(platform::waitForMutex(m.h, 0));
    std::atomic<bool> got{false};
    std::thread waiter([&] {
        got = platform::waitForMutex(m.h, 5000);
        platform::releaseMutex(m.h);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(got);
    platform::releaseMutex(m.h);
    waiter.join();
    EXPECT_TRUE(got);
}

TEST(NamedMutex, ANameWhoseLastHandleClosedNamesANewMutex)
{
    platform::Handle first = platform::createMutex("KLMB_gone");
    ASSERT_TRUE(platform::waitForMutex(first, 0));
    platform::closeHandle(first);
    Closer second{platform::createMutex("KLMB_gone")};
    bool taken = false;
    std::thread([&] {
        taken = platform::waitForMutex(second.h, 0);
        platform::releaseMutex(second.h);
    }).join();
    EXPECT_TRUE(taken);
}

TEST(Event, ManualResetStaysSignalledUntilReset)
{
    Closer e{platform::createEvent("EndReadThread_test", true, true)};
    EXPECT_TRUE(platform::waitForEvent(e.h, 0));
    EXPECT_TRUE(platform::waitForEvent(e.h, 0));
    platform::resetEvent(e.h);
    EXPECT_FALSE(platform::waitForEvent(e.h, 0));
    EXPECT_FALSE(platform::waitForEvent(e.h, 20));
}

TEST(Event, AutoResetLetsOneWaiterThrough)
{
    Closer e{platform::createEvent(nullptr, false, false)};
    platform::setEvent(e.h);
    EXPECT_TRUE(platform::waitForEvent(e.h, 0));
    EXPECT_FALSE(platform::waitForEvent(e.h, 0));
}

TEST(Event, OpeningAnExistingNameSharesItsState)
{
    Closer a{platform::createEvent("shared_event", true, false)};
    Closer b{platform::createEvent("shared_event", true, true)};
    EXPECT_FALSE(platform::waitForEvent(b.h, 0)) << "the second create must open, not re-initialise";
    platform::setEvent(a.h);
    EXPECT_TRUE(platform::waitForEvent(b.h, 0));
}

TEST(Event, SettingFromAnotherThreadEndsAWait)
{
    Closer e{platform::createEvent(nullptr, true, false)};
    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        platform::setEvent(e.h);
    });
    EXPECT_TRUE(platform::waitForEvent(e.h, 10000));
    setter.join();
}

TEST(Event, WaitForAnyGivesTheIndexOfTheSignalledOne)
{
    Closer a{platform::createEvent(nullptr, true, false)};
    Closer b{platform::createEvent(nullptr, false, false)};
    const platform::Handle both[] = {a.h, b.h};
    EXPECT_EQ(platform::waitForAnyEvent(both, 2, 10), -1);
    std::thread setter([&] { platform::setEvent(b.h); });
    EXPECT_EQ(platform::waitForAnyEvent(both, 2, 10000), 1);
    setter.join();
    EXPECT_FALSE(platform::waitForEvent(b.h, 0)) << "auto-reset event not consumed by the wait";
    EXPECT_EQ(platform::waitForAnyEvent(both, 0, 0), -1);
}

TEST(Event, CallsOnAMutexHandleFail)
{
    Closer m{platform::createMutex(nullptr)};
    EXPECT_FALSE(platform::setEvent(m.h));
    EXPECT_FALSE(platform::waitForEvent(m.h, 0));
    EXPECT_FALSE(platform::waitForMutex(nullptr, 0));
}

}  // namespace
