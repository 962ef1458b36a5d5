// Ticks and the calendar conversions of the measurement files.
#include "platform/clock.h"

#include <gtest/gtest.h>

namespace {

TEST(Tick, AdvancesWithSleep)
{
    const std::uint32_t before = platform::tickCount();
    platform::sleepMs(20);
    EXPECT_GE(static_cast<std::uint32_t>(platform::tickCount() - before), 19u);
}

TEST(FileTime, KnownMomentsHaveTheirCounts)
{
    std::uint64_t ft = 1;
    ASSERT_TRUE(platform::systemTimeToFileTime({1601, 1, 1, 1, 0, 0, 0, 0}, ft));
    EXPECT_EQ(ft, 0u);
    ASSERT_TRUE(platform::systemTimeToFileTime({1970, 1, 4, 1, 0, 0, 0, 0}, ft));
    EXPECT_EQ(ft, 116444736000000000ull);
    ASSERT_TRUE(platform::systemTimeToFileTime({2024, 3, 2, 5, 9, 7, 2, 500}, ft));
    std::uint64_t later = 0;
    ASSERT_TRUE(platform::systemTimeToFileTime({2024, 3, 2, 5, 9, 7, 4, 0}, later));
    EXPECT_EQ(later - ft, 15000000u);
}

TEST(FileTime, RoundTripsWithTheDayOfTheWeek)
{
    const platform::SystemTime t{2024, 2, 0, 29, 23, 59, 58, 999};
    std::uint64_t ft = 0;
    ASSERT_TRUE(platform::systemTimeToFileTime(t, ft));
    platform::SystemTime back{};
    ASSERT_TRUE(platform::fileTimeToSystemTime(ft, back));
    EXPECT_EQ(back.year, 2024);
    EXPECT_EQ(back.month, 2);
    EXPECT_EQ(back.day, 29);
    EXPECT_EQ(back.dayOfWeek, 4) << "29 February 2024 was a Thursday";
    EXPECT_EQ(back.hour, 23);
    EXPECT_EQ(back.minute, 59);
    EXPECT_EQ(back.second, 58);
    EXPECT_EQ(back.milliseconds, 999);
}

TEST(FileTime, FieldsOutsideTheCalendarAreRefused)
{
    std::uint64_t ft = 0;
    EXPECT_FALSE(platform::systemTimeToFileTime({2023, 2, 0, 29, 0, 0, 0, 0}, ft));
    EXPECT_FALSE(platform::systemTimeToFileTime({2024, 13, 0, 1, 0, 0, 0, 0}, ft));
    EXPECT_FALSE(platform::systemTimeToFileTime({2024, 1, 0, 0, 0, 0, 0, 0}, ft));
    EXPECT_FALSE(platform::systemTimeToFileTime({1600, 1, 0, 1, 0, 0, 0, 0}, ft));
    EXPECT_FALSE(platform::systemTimeToFileTime({2024, 1, 0, 1, 24, 0, 0, 0}, ft));
}

TEST(LocalTime, IsACalendarMoment)
{
    const platform::SystemTime now = platform::localTime();
    std::uint64_t ft = 0;
    EXPECT_TRUE(platform::systemTimeToFileTime(now, ft));
    EXPECT_GE(now.year, 2024);
}

}  // namespace
