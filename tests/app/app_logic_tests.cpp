// The program's logic that needs no window: stored settings, formats, the
// limit table, word counts and the polling cycle.
#include "windows/display_format.h"
#include "session/modbus_workers.h"
#include "windows/link_status.h"
#include "session/stored_settings.h"
#include "session/text_log.h"

#include "app_test_support.h"
#include "case_names.h"

#include <gtest/gtest.h>

using testing_support::caseName;

namespace {

using RecordingBackend = MemorySettings;

TEST(StoredSettings, AnEmptyStoreGivesTheDefaults)
{
    RecordingBackend store;
    const StoredSettings s = readStoredSettings(store);
    EXPECT_EQ(s.comm.portName, "com1");
    EXPECT_EQ(s.program.attempts, 5);
    EXPECT_EQ(s.program.periodMs, 500);
    EXPECT_TRUE(s.program.confirmUpdate);
    EXPECT_FALSE(s.program.log);
    EXPECT_EQ(s.program.logFileName, "kl_s.log");
    EXPECT_EQ(s.program.graphSpanMs, 0);
    EXPECT_FALSE(s.program.readQuant);
    EXPECT_TRUE(s.comm.automaticFlow);
    EXPECT_EQ(s.comm.sendDTR, 255);
    EXPECT_EQ(s.comm.sendRTS, 255);
    EXPECT_EQ(s.comm.recvDTR, 255);
    EXPECT_EQ(s.comm.recvRTS, 255);
}

TEST(StoredSettings, QuitWritesEveryKeyButReadQuantInOrder)
{
    RecordingBackend store;
    StoredSettings s;
    s.program.confirmUpdate = true;
    s.program.log = true;
    writeStoredSettings(store, s);
    const QStringList order = {"Port",      "NumErrors",   "Period",  "Confirm Update", "Log",     "LogFileName",
                               "TimeCoeff", "FlowControl", "SendDTR", "SendRTS",        "RecvDTR", "RecvRTS"};
    EXPECT_EQ(store.written, order);
    EXPECT_EQ(store.values["Log"].toInt(), 1);
    EXPECT_EQ(store.values["SendDTR"].toInt(), 255);
}

// Every field under its own key: values that differ from field to field come
// back where they were.
TEST(StoredSettings, EveryFieldComesBackFromTheStoreUnderItsOwnKey)
{
    RecordingBackend store;
    StoredSettings s;
    s.comm = CommSettings{"COM7", false, 0, 1, 2, 3};
    s.program.attempts = 9;
    s.program.confirmUpdate = false;
    s.program.log = true;
    s.program.logFileName = "line7.log";
    s.program.periodMs = 250;
    s.program.graphSpanMs = 60000;
    writeStoredSettings(store, s);
    store.values["Read Quant"] = 1;
    const StoredSettings back = readStoredSettings(store);
    EXPECT_EQ(back.comm.portName, "COM7");
    EXPECT_FALSE(back.comm.automaticFlow);
    EXPECT_EQ(back.comm.sendDTR, 0);
    EXPECT_EQ(back.comm.sendRTS, 1);
    EXPECT_EQ(back.comm.recvDTR, 2);
    EXPECT_EQ(back.comm.recvRTS, 3);
    EXPECT_EQ(back.program.attempts, 9);
    EXPECT_FALSE(back.program.confirmUpdate);
    EXPECT_TRUE(back.program.log);
    EXPECT_EQ(back.program.logFileName, "line7.log");
    EXPECT_EQ(back.program.periodMs, 250);
    EXPECT_EQ(back.program.graphSpanMs, 60000);
    EXPECT_TRUE(back.program.readQuant);
}

TEST(StoredSettings, ReadQuantSurvivesAnyNumberOfRuns)
{
    RecordingBackend store;
    store.values["Read Quant"] = 1;
    for (int run = 0; run < 3; ++run)
        writeStoredSettings(store, readStoredSettings(store));
    EXPECT_EQ(store.values["Read Quant"].toInt(), 1);
    EXPECT_TRUE(readStoredSettings(store).program.readQuant);
}

TEST(StoredSettings, BooleansAreReadAsNonZeroAndWrittenAsZeroOrOne)
{
    RecordingBackend store;
    store.values["Confirm Update"] = 0;
    store.values["Log"] = 7;
    const StoredSettings s = readStoredSettings(store);
    EXPECT_FALSE(s.program.confirmUpdate);
    EXPECT_TRUE(s.program.log);
    writeStoredSettings(store, s);
    EXPECT_EQ(store.values["Log"].toInt(), 1);
    EXPECT_EQ(store.values["Confirm Update"].toInt(), 0);
}

TEST(DisplayFormat, TemperatureShowsHiAndLoAtTheEnds)
{
    EXPECT_EQ(temperatureText(0), "Lo");
    EXPECT_EQ(temperatureText(1), "1");
    EXPECT_EQ(temperatureText(9999), "9999");
    EXPECT_EQ(temperatureText(10000), "Hi");
    EXPECT_EQ(temperatureText(65535), "Hi");
}

TEST(DisplayFormat, EmissivityIsDividedByTheDivisorOfTheKind)
{
    EXPECT_EQ(emissivityText(1000, 131), "1.00");
    EXPECT_EQ(emissivityText(95, 3), "0.95");
    EXPECT_EQ(emissivityText(1000, 3 | 0x80), "1.00");
    EXPECT_DOUBLE_EQ(emissivityDivisor(135), 1000.0);
    EXPECT_DOUBLE_EQ(emissivityDivisor(6), 100.0);
}

TEST(DisplayFormat, TheLogLineHasTheTimeTheTemperatureAndTheEmissivity)
{
    const platform::SystemTime at{2024, 3, 2, 5, 9, 7, 2, 45};
    EXPECT_EQ(logLine(at, 1234, 1.0), "09:07:02.045 1234 1.00\n");
    EXPECT_EQ(logLine(at, 0, 0.95), "09:07:02.045 0 0.95\n");
}

TEST(DisplayFormat, TheModeDecidesTheParameterShown)
{
    KCConfig c{};
    KCSetDefaultConfig(&c);
    EXPECT_FALSE(modeParameter(c));
    c.mode = 1;
    c.smoothing = 3;
    EXPECT_EQ(modeParameter(c)->name, "Степень сглаживания");
    EXPECT_EQ(modeParameter(c)->value, "10");
    c.mode = 2;
    c.minSampling = 25;
    EXPECT_EQ(modeParameter(c)->name, "Время выбора, сек.");
    EXPECT_EQ(modeParameter(c)->value, "2.5");
    c.mode = 3;
    c.maxSampling = 40;
    EXPECT_EQ(modeParameter(c)->value, "4.0");
    c.mode = 9;
    EXPECT_FALSE(modeParameter(c));
}

TEST(DisplayFormat, AVerificationDateOutsideTheCalendarIsNone)
{
    EXPECT_EQ(*verificationDate("05032024"), QDate(2024, 3, 5));
    EXPECT_FALSE(verificationDate("05031969"));
    EXPECT_FALSE(verificationDate("00032024"));
    EXPECT_FALSE(verificationDate("05132024"));
    EXPECT_FALSE(verificationDate("31022024")) << "31 February passes the range test but is no date";
    EXPECT_FALSE(verificationDate("0503"));
    EXPECT_FALSE(verificationDate(""));
}

TEST(LimitTable, LayoutsByTypeAndVariant)
{
    EXPECT_EQ(limitTableLayout(0, 0)->base, 123);
    EXPECT_EQ(limitTableLayout(3, 1)->entries, 11);
    EXPECT_EQ(limitTableLayout(6, 0)->lead, 0);
    EXPECT_EQ(limitTableLayout(131, 0)->base, 127);
    EXPECT_EQ(limitTableLayout(131, 1)->base, 128);
    EXPECT_EQ(limitTableLayout(135, 0)->wordCount(), 1 + 49);
    EXPECT_EQ(limitTableLayout(0, 0)->wordCount(), 1 + 31);
    EXPECT_EQ(limitTableLayout(0, 0)->firstRegister(), 768 + 123);
    EXPECT_FALSE(limitTableLayout(7, 0));
    EXPECT_FALSE(limitTableLayout(132, 0));
}

TEST(LimitTable, PackedRecordsBecomeEntriesAndEntryTenTakesTheRange)
{
    const LimitTableLayout layout{123, 9, 1};
    // Lead byte 0xEE, then records i: min = 100 + i, max = 0x1234 + i, step = 5 + i, extra = 0xA0B0 + i.
    std::vector<std::uint8_t> bytes = {0xEE};
    for (int i = 0; i < 9; ++i) {
        const int min = 100 + i, max = 0x1234 + i, extra = 0xA0B0 + i;
        for (int b : {min >> 8, min & 0xFF, max >> 8, max & 0xFF, 5 + i, extra >> 8, extra & 0xFF})
            bytes.push_back(static_cast<std::uint8_t>(b));
    }
    bytes.resize(static_cast<std::size_t>(layout.wordCount() * 2), 0);
    std::vector<std::uint16_t> words;
    for (std::size_t i = 0; i < bytes.size(); i += 2)
        words.push_back(static_cast<std::uint16_t>(bytes[i] << 8 | bytes[i + 1]));

    LimitTable table = initialLimitTable();
    table[8] = {1, 2, 3, 4};
    decodeLimitTable(layout, words, 300, 1800, table);
    EXPECT_EQ(table[0].minimum, 100);
    EXPECT_EQ(table[7].maximum, 0x1234 + 7);
    EXPECT_EQ(table[7].step, 12);
    EXPECT_EQ(table[7].extra, 0xA0B0 + 7);
    EXPECT_EQ(table[8].minimum, 1) << "the last record position is not used";
    EXPECT_EQ(table[10].minimum, 300);
    EXPECT_EQ(table[10].maximum, 1800);
}

TEST(LimitTable, FallbackEntriesCarryTheDeviceRange)
{
    LimitTable table{};
    applyFallbackLimits(table, 400, 2500);
    EXPECT_EQ(table[2].minimum, 5);
    EXPECT_EQ(table[3].maximum, 250);
    EXPECT_EQ(table[8].extra, 400);
    EXPECT_EQ(table[9].extra, 2500);
    EXPECT_EQ(table[10].maximum, 15000);
    EXPECT_EQ(table[11].extra, 1);
    EXPECT_EQ(initialLimitTable()[1].maximum, 11) << "12 smoothing steps without a table";
}

struct WordCase {
    unsigned type;
    unsigned variant;
    int read;
    int write;
};

class SettingsWords : public ::testing::TestWithParam<WordCase> {};

TEST_P(SettingsWords, ByTypeAndVariant)
{
    EXPECT_EQ(settingsWordsToRead(GetParam().type, GetParam().variant), GetParam().read);
    EXPECT_EQ(settingsWordsToWrite(GetParam().type, GetParam().variant), GetParam().write);
}

INSTANTIATE_TEST_SUITE_P(Types, SettingsWords,
                         ::testing::Values(WordCase{0, 0, 9, 9}, WordCase{1, 0, 9, 9}, WordCase{2, 0, 9, 9},
                                           WordCase{3, 0, 11, 9}, WordCase{3, 1, 11, 11}, WordCase{6, 0, 11, 11},
                                           WordCase{131, 0, 9, 9}, WordCase{131, 1, 11, 11},
                                           WordCase{135, 2, 13, 13}, WordCase{135, 0, 13, 13}),
                         [](const auto& info) {
                             return caseName("Type", info.param.type, "Variant", info.param.variant);
                         });

TEST(PollCycle, AHalfSecondPeriodReadsTheStateEveryThirteenCycles)
{
    int cycle = 0;
    std::vector<int> stateCycles;
    for (int n = 0; n < 40; ++n) {
        if (cycle == 0)
            stateCycles.push_back(n);
        cycle = nextPollCycle(cycle, 500);
    }
    EXPECT_EQ(stateCycles, (std::vector<int>{0, 13, 26, 39}));
}

TEST(PollCycle, PeriodsLongerThanSixSecondsReadTheStateEveryCycle)
{
    EXPECT_EQ(nextPollCycle(0, 7000), 0);
    EXPECT_EQ(nextPollCycle(0, 6000), 1);
    EXPECT_EQ(nextPollCycle(1, 6000), 0);
    EXPECT_EQ(nextPollCycle(0, 5), 1) << "periods below 20 ms count as 20 ms";
}

}  // namespace

namespace {

TEST(LinkStatus, TheLinkPaneNamesPortAddressAndSpeedOrTheWait)
{
    EXPECT_EQ(linkText(true, false, "COM3", 7, 4), "COM3, адрес 7, 9600 бит/сек.");
    EXPECT_EQ(linkText(true, false, "COM3", 7, 8), "COM3, адрес 7, 115200 бит/сек.");
    EXPECT_EQ(linkText(true, true, "COM3", 7, 4), "Порт COM3 недоступен, ожидание подключения");
    EXPECT_EQ(linkText(false, false, "COM3", 7, 4), "Нет связи");
}

TEST(LinkStatus, FailuresCountEveryTryAndSpoiledRepliesApart)
{
    kc::LinkCounts c;
    c.note(kc::Result::failure(kc::Fault::Timeout));
    EXPECT_EQ(failuresText(c), "Ошибок: 1");
    c.note(kc::Result::failure(kc::Fault::BadChecksum));
    c.note(kc::Result::failure(kc::Fault::WrongAddress));
    c.note(kc::Result::deviceException(2));
    EXPECT_EQ(failuresText(c), "Ошибок: 4, искажённых ответов: 2");
}

TEST(LinkStatus, TheAgeOfTheLastReadingInSecondsMinutesAndHours)
{
    EXPECT_EQ(ageText(std::nullopt), "");
    EXPECT_EQ(ageText(2900), "Последнее показание 2 с назад");
    EXPECT_EQ(ageText(125000), "Последнее показание 2 мин 5 с назад");
    EXPECT_EQ(ageText(7260000), "Последнее показание 2 ч 1 мин назад");
}

TEST(Staleness, AReadingIsStaleAfterThreePeriods)
{
    Staleness s(500);
    EXPECT_FALSE(s.isStale(100000)) << "nothing read yet";
    s.reading(1000);
    EXPECT_FALSE(s.isStale(2500));
    EXPECT_TRUE(s.isStale(2501));
    EXPECT_EQ(*s.ageMs(2501), 1501u);
}

TEST(Staleness, ASlowLineSetsThePaceInsteadOfTheShortPeriod)
{
    // At a 20 ms period a slow line answers every 175 ms: not stale.
    Staleness s(20);
    for (std::uint32_t t = 0; t <= 1750; t += 175)
        s.reading(t);
    EXPECT_FALSE(s.isStale(1750 + 400));
    EXPECT_TRUE(s.isStale(1750 + 600));
}

TEST(Staleness, APauseDoesNotHideTheNextOne)
{
    Staleness s(100);
    for (std::uint32_t t = 0; t <= 1000; t += 100)
        s.reading(t);
    s.reading(60000);  // after a minute's silence
    EXPECT_TRUE(s.isStale(60000 + 500));
}

}  // namespace
