// The command line of kl_poll: defaults, every option, the port, and what is
// refused.
#include "poll_options.h"

#include <gtest/gtest.h>

namespace {

using tools::parsePollOptions;

TEST(PollOptions, DefaultsPollCom1AtAddress1Every500Ms)
{
    std::string error;
    const auto options = parsePollOptions({}, error);
    ASSERT_TRUE(options);
    EXPECT_EQ(options->port, "com1");
    EXPECT_EQ(options->address, 1);
    EXPECT_EQ(options->baudCode, 5);
    EXPECT_EQ(options->periodMs, 500);
    EXPECT_EQ(options->count, 0);
    EXPECT_EQ(options->attempts, 5);
    EXPECT_EQ(options->timeoutMs, 2000);
    EXPECT_EQ(options->tdfPath, "");
    EXPECT_EQ(options->csvPath, "");
}

TEST(PollOptions, EveryOptionIsTaken)
{
    std::string error;
    const auto options =
        parsePollOptions({"--period", "20", "COM7", "--address", "255", "--baud", "8", "--count", "15", "--attempts",
                          "1", "--timeout", "100", "--tdf", "a.tdf", "--csv", "-"},
                         error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->port, "COM7");
    EXPECT_EQ(options->address, 255);
    EXPECT_EQ(options->baudCode, 8);
    EXPECT_EQ(options->periodMs, 20);
    EXPECT_EQ(options->count, 15);
    EXPECT_EQ(options->attempts, 1);
    EXPECT_EQ(options->timeoutMs, 100);
    EXPECT_EQ(options->tdfPath, "a.tdf");
    EXPECT_EQ(options->csvPath, "-");
    EXPECT_EQ(options->csvForm, tools::CsvForm::Standard);
    const auto russian = parsePollOptions({"--csv", "r.csv", "--ru"}, error);
    ASSERT_TRUE(russian) << error;
    EXPECT_EQ(russian->csvForm, tools::CsvForm::Russian);
    EXPECT_NE(std::string(tools::kPollUsage).find("--ru"), std::string::npos);
}

TEST(PollOptions, OneDeviceUnlessSeveralAreGiven)
{
    std::string error;
    auto options = parsePollOptions({"--address", "7", "--baud", "3"}, error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->devices, (std::vector<tools::PolledDevice>{{7, 3}}));
    EXPECT_FALSE(options->severalDevices());
    EXPECT_EQ(options->statsSeconds, 60);

    // A speed is a baud code or the line speed it stands for; without one the
    // device answers at the speed of --baud.
    options = parsePollOptions({"--device", "2", "--baud", "6", "--device", "17@9600", "--device", "255@0",
                                "--device", "3@115200", "--stats", "0", "--csv", "r.csv"},
                               error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->devices, (std::vector<tools::PolledDevice>{{2, 6}, {17, 4}, {255, 0}, {3, 8}}));
    EXPECT_TRUE(options->severalDevices());
    EXPECT_EQ(options->statsSeconds, 0);
}

TEST(PollOptions, APeriodBelow20MsPollsEvery20Ms)
{
    std::string error;
    EXPECT_EQ(parsePollOptions({"--period", "1"}, error)->periodMs, 20);
    EXPECT_EQ(parsePollOptions({"--period", "19"}, error)->periodMs, 20);
    EXPECT_EQ(parsePollOptions({"--period", "21"}, error)->periodMs, 21);
}

TEST(PollOptions, WrongCommandLinesAreRefusedWithTheReason)
{
    struct Case {
        std::vector<std::string> args;
        const char* says;
    } const cases[] = {
        {{"--address", "0"}, "неверное значение --address: 0"},
        {{"--address", "256"}, "неверное значение --address: 256"},
        {{"--baud", "9"}, "неверное значение --baud"},
        {{"--period", "0"}, "неверное значение --period"},
        {{"--period", "20ms"}, "неверное значение --period"},
        {{"--count", "-1"}, "неверное значение --count"},
        {{"--attempts", "0"}, "неверное значение --attempts"},
        {{"--timeout", "5"}, "неверное значение --timeout"},
        {{"--period"}, "нет значения у --period"},
        {{"--tdf", ""}, "нет значения у --tdf"},
        {{"COM1", "COM2"}, "лишний параметр: COM2"},
        {{"--device", "0"}, "неверное значение --device: 0"},
        {{"--device", "256"}, "неверное значение --device: 256"},
        {{"--device", "2@"}, "неверное значение --device: 2@"},
        {{"--device", "2@9"}, "неверное значение --device: 2@9"},
        {{"--device", "2@14400"}, "неверное значение --device: 2@14400"},
        {{"--device", "a2"}, "неверное значение --device: a2"},
        {{"--device", "2", "--device", "2@9600"}, "адрес 2 указан дважды"},
        {{"--device", "1", "--address", "2"}, "--address и --device вместе не указываются"},
        {{"--device", "1", "--device", "2", "--csv", "-"}, "--csv - только для одного прибора"},
        {{"--stats", "-1"}, "неверное значение --stats"},
        {{"--verbose"}, "лишний параметр: --verbose"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(parsePollOptions(c.args, error));
        EXPECT_EQ(error.rfind(c.says, 0), 0u) << error;
    }
}

}  // namespace
