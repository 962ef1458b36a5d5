// The device link library on COM ports that wine maps to kl_sim: the port
// table, the exchange with its echo handling, strict replies and time-outs,
// and the register services.
#include <kcmb.h>

#include "sim_lines.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

using namespace std::chrono;

long long msSince(steady_clock::time_point start)
{
    return duration_cast<milliseconds>(steady_clock::now() - start).count();
}

class ComLink : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(KCInit()); }
    void TearDown() override { KCClose(); }
};

TEST_F(ComLink, ThePortTableOpensAPortOnceByAnyOfItsNames)
{
    KCOpenError why = KC_OPEN_FAILED;
    HandleGuard port = KCOpenPortWhy(sim_lines::kPyrometerLine, 5, &why);
    ASSERT_TRUE(port);
    EXPECT_EQ(why, KC_OPEN_OK);
    ASSERT_NE(getKCPortInfo(port.get()), nullptr);
    EXPECT_EQ(GetPortNum("\\\\.\\COM1"), 1);
    EXPECT_EQ(KCGetTimeOut(port.get()), 2000);

    HandleGuard again = KCOpenPortWhy("\\\\.\\com1", 5, &why);
    EXPECT_FALSE(again);
    EXPECT_EQ(why, KC_OPEN_HELD);

    HandleGuard missing = KCOpenPortWhy(sim_lines::kMissingLine, 5, &why);
    EXPECT_FALSE(missing);
    EXPECT_EQ(why, KC_OPEN_NOT_FOUND);

    void* handle = port.release();
    KCClosePort(handle);
    EXPECT_EQ(getKCPortInfo(handle), nullptr);
    HandleGuard reopened = KCOpenPort("com1", 5);
    EXPECT_TRUE(reopened);
}

TEST_F(ComLink, TheIdentificationAndTheTemperatureAreRead)
{
    HandleGuard port = KCOpenPort(sim_lines::kPyrometerLine, 5);
    ASSERT_TRUE(port);
    DeviceInfo info{};
    ASSERT_EQ(getDeviceInfo(port.get(), sim_lines::kPyrometer, &info), 0);
    EXPECT_EQ(info.address, 1);
    EXPECT_EQ(info.type, 3);
    EXPECT_STREQ(info.serial, "1234");
    EXPECT_STREQ(info.year, "2021");
    EXPECT_STREQ(info.verifyDate, "15032023");
    EXPECT_EQ(info.tempMin, 200);
    EXPECT_EQ(info.tempMax, 1000);

    unsigned short words[5] = {};
    ASSERT_EQ(readWords(port.get(), sim_lines::kPyrometer, 256, words, 5), 0);
    EXPECT_GE(words[0], 200);
    EXPECT_LE(words[0], 1000);
    EXPECT_GE(words[4], 1000);
}

TEST_F(ComLink, ADeviceExceptionGivesItsCode)
{
    HandleGuard port = KCOpenPort(sim_lines::kPyrometerLine, 5);
    ASSERT_TRUE(port);
    unsigned short words[3] = {};
    EXPECT_EQ(readWords(port.get(), sim_lines::kException, 0, words, 3), 2);
}

TEST_F(ComLink, AReplyWithAWrongChecksumIsNeverBelievedAndTheNextExchangeIsClean)
{
    HandleGuard port = KCOpenPort(sim_lines::kPyrometerLine, 5);
    ASSERT_TRUE(port);
    unsigned short words[3] = {0xAAAA, 0xAAAA, 0xAAAA};
    const kc::Result spoiled = kc::readWords(port.get(), sim_lines::kBadChecksum, 0, words, 3);
    EXPECT_EQ(spoiled.fault, kc::Fault::BadChecksum);
    EXPECT_EQ(spoiled.code(), 5);
    EXPECT_EQ(words[0], 0xAAAA) << "words were stored from a spoiled reply";

    unsigned short status = 0;
    EXPECT_EQ(readException(port.get(), sim_lines::kPyrometer, &status), 0);
}

TEST_F(ComLink, NoiseBeforeAFrameIsSkipped)
{
    HandleGuard port = KCOpenPort(sim_lines::kPyrometerLine, 5);
    ASSERT_TRUE(port);
    unsigned short words[3] = {};
    ASSERT_EQ(readWords(port.get(), sim_lines::kNoisy, 0, words, 3), 0);
    EXPECT_EQ(words[0], 7);
    EXPECT_EQ(words[1], 8);
    EXPECT_EQ(words[2], 9);
}

TEST_F(ComLink, ASilentAddressTimesOutAfterTheReadTimeOut)
{
    HandleGuard port = KCOpenPort(sim_lines::kPyrometerLine, 5);
    ASSERT_TRUE(port);
    ASSERT_EQ(KCSetTimeOut(port.get(), 300), 2000);
    unsigned short words[5] = {};
    const auto start = steady_clock::now();
    const kc::Result silent = kc::readWords(port.get(), sim_lines::kNobody, 256, words, 5);
    const long long elapsed = msSince(start);
    EXPECT_EQ(silent.fault, kc::Fault::Timeout);
    EXPECT_EQ(silent.code(), 7);
    // The time-out, plus the line time of the longest reply, plus what a
    // shared machine adds.
    EXPECT_GE(elapsed, 290);
    EXPECT_LT(elapsed, 1500);
    // The device at its own address still answers at once.
    EXPECT_EQ(readWords(port.get(), sim_lines::kPyrometer, 256, words, 5), 0);
}

TEST_F(ComLink, AStreamWithoutAReplyEndsWithinTheDeadline)
{
    HandleGuard port = KCOpenPort(sim_lines::kStreamLine, 5);
    ASSERT_TRUE(port);
    ASSERT_EQ(KCSetTimeOut(port.get(), 300), 2000);
    unsigned short words[5] = {};
    const auto start = steady_clock::now();
    const kc::Result streamed = kc::readWords(port.get(), 1, 256, words, 5);
    const long long elapsed = msSince(start);
    EXPECT_EQ(streamed.fault, kc::Fault::EndlessInput);
    EXPECT_EQ(streamed.code(), 7);
    EXPECT_LT(elapsed, 2000);
}

TEST_F(ComLink, AnEchoingLineIsLearnedAndItsRepliesTaken)
{
    HandleGuard port = KCOpenPort(sim_lines::kEchoLine, 5);
    ASSERT_TRUE(port);
    EXPECT_EQ(KCGetEchoMode(port.get()), KC_ECHO_AUTO);
    DeviceInfo info{};
    ASSERT_EQ(getDeviceInfo(port.get(), 1, &info), 0);
    EXPECT_EQ(info.type, 3);
    EXPECT_EQ(KCLineEchoes(port.get()), 1);
    unsigned short words[5] = {};
    EXPECT_EQ(readWords(port.get(), 1, 256, words, 5), 0);
    EXPECT_GE(words[0], 200);
}

TEST_F(ComLink, WithEchoOffTheEchoOfARequestIsNoReply)
{
    HandleGuard port = KCOpenPort(sim_lines::kEchoLine, 5);
    ASSERT_TRUE(port);
    ASSERT_EQ(KCSetEchoMode(port.get(), KC_ECHO_OFF), KC_ECHO_AUTO);
    unsigned short words[5] = {0xAAAA, 0, 0, 0, 0};
    // The echo of a read request has the request's function but not the
    // length a reply has.
    EXPECT_EQ(readWords(port.get(), 1, 256, words, 5), 5);
    EXPECT_EQ(words[0], 0xAAAA);
    EXPECT_EQ(KCSetEchoMode(port.get(), KC_ECHO_ON), KC_ECHO_OFF);
    EXPECT_EQ(readWords(port.get(), 1, 256, words, 5), 0);
}

}  // namespace
