// One Modbus ASCII exchange over the fake port: framing, reply collection,
// checksums, time-outs, modem lines, the port's mutex, and bounds.
#include "fake_device_port.h"

#include "platform/sync.h"

#include <cstring>
#include <thread>

using namespace link_testing;

namespace {

const std::string kReadRequest("\x01\x04\x00\x00\x00\x0A", 6);
// The reply to kReadRequest: ten registers, 0x1234, 0xABCD, then 0x0000 ...
const std::string kReply = std::string("\x01\x04\x14\x12\x34\xAB\xCD", 7) + std::string(16, '\0');

class ExchangeTest : public FakePortTest {
protected:
    void SetUp() override
    {
        FakePortTest::SetUp();
        info = getKCPortInfo(port);
        line->clearEvents();
    }

    int exchange(const std::string& request)
    {
        std::string copy = request;
        return KCCommModBus(port, copy.data(), static_cast<int>(copy.size()), reply, sizeof reply, &count);
    }

    KCPortInfo* info = nullptr;
    char reply[256] = {};
    int count = -1;
};

TEST_F(ExchangeTest, TheRequestLeavesAsColonHexDigitsLrcAndCrLf)
{
    line->queueReply(frameOf(kReply));
    exchange(kReadRequest);
    EXPECT_EQ(line->written(), ":01040000000AF1\r\n");
}

TEST_F(ExchangeTest, AGoodReplyIsDecodedWithItsLrcCounted)
{
    line->queueReply(frameOf(kReply));
    ASSERT_EQ(exchange(kReadRequest), 0);
    EXPECT_EQ(count, static_cast<int>(kReply.size()) + 1);
    EXPECT_EQ(std::string(reply, kReply.size()), kReply);
    EXPECT_EQ(info->state, 4);
    EXPECT_EQ(info->lastError, 0);
}

TEST_F(ExchangeTest, NoiseBeforeTheColonIsIgnoredALineFeedAmongItToo)
{
    line->queueReply("\x05garbage\n\r\n" + frameOf(kReply));
    ASSERT_EQ(exchange(kReadRequest), 0);
    EXPECT_EQ(std::string(reply, kReply.size()), kReply);
}

TEST_F(ExchangeTest, CharactersWithBitSevenSetAreReadAsIfClear)
{
    std::string high = frameOf(kReply);
    for (char& c : high)
        c = static_cast<char>(c | 0x80);
    line->queueReply(high);
    ASSERT_EQ(exchange(kReadRequest), 0);
    EXPECT_EQ(std::string(reply, kReply.size()), kReply);
}

TEST_F(ExchangeTest, AWrongLrcGivesFiveWithTheReplyFilledAllTheSame)
{
    std::string bad = frameOf(kReply);
    bad[bad.size() - 3] = bad[bad.size() - 3] == '0' ? '1' : '0';
    line->queueReply(bad);
    ASSERT_EQ(exchange(kReadRequest), 5);
    EXPECT_EQ(std::string(reply, kReply.size()), kReply);
    EXPECT_EQ(count, static_cast<int>(kReply.size()) + 1);
    EXPECT_EQ(info->state, 3);
    EXPECT_EQ(info->lastError, 5);
}

TEST_F(ExchangeTest, SilenceGivesSevenAndLeavesReplyAndCountAlone)
{
    std::memset(reply, 0x5A, sizeof reply);
    ASSERT_EQ(exchange(kReadRequest), 7);
    EXPECT_EQ(reply[0], 0x5A);
    EXPECT_EQ(count, -1);
    EXPECT_EQ(info->state, 2);
    EXPECT_EQ(info->lastError, 7);
    EXPECT_TRUE(platform::waitForMutex(info->hMutex, 0)) << "mutex not released after a time-out";
    platform::releaseMutex(info->hMutex);
}

TEST_F(ExchangeTest, AReplyCutShortBeforeItsLineFeedIsATimeOut)
{
    const std::string full = frameOf(kReply);
    line->queueReply(full.substr(0, full.size() - 1));
    EXPECT_EQ(exchange(kReadRequest), 7);
    EXPECT_EQ(info->state, 3);
}

TEST_F(ExchangeTest, StaleInputIsClearedBeforeTheRequestAndNothingAfterIt)
{
    line->feed(frameOf(std::string("\x01\x04\x02\x99\x99", 5)));
    line->queueReply(frameOf(kReply));
    ASSERT_EQ(exchange(kReadRequest), 0);
    EXPECT_EQ(std::string(reply, kReply.size()), kReply);

    const auto events = line->events();
    int write = -1, rxPurge = -1, txPurge = -1, purgesAfterWrite = 0;
    for (int i = 0; i < static_cast<int>(events.size()); ++i) {
        const auto& e = events[i];
        if (e.kind == platform::FakeLine::EventKind::Write && write < 0) write = i;
        if (e.kind == platform::FakeLine::EventKind::Purge && (e.purgeFlags & platform::kPurgeRxClear)) rxPurge = i;
        if (e.kind == platform::FakeLine::EventKind::Purge && (e.purgeFlags & platform::kPurgeTxClear)) txPurge = i;
        if (e.kind == platform::FakeLine::EventKind::Purge && write >= 0) ++purgesAfterWrite;
    }
    EXPECT_LT(rxPurge, write);
    EXPECT_LT(txPurge, write);
    EXPECT_EQ(purgesAfterWrite, 0);
}

TEST_F(ExchangeTest, AReplyThatStartsArrivingDuringTheRequestIsKept)
{
    // A device answering within a millisecond: on a real adapter its ':' is
    // there before the driver reports the request as sent.
    line->setAnswerWhileWriting(true);
    info->sendRTS = 1;
    info->recvRTS = 0;
    for (int i = 0; i < 20; ++i) {
        line->queueReply(frameOf(kReply));
        ASSERT_EQ(exchange(kReadRequest), 0) << "exchange " << i;
        EXPECT_EQ(std::string(reply, kReply.size()), kReply);
    }
}

TEST_F(ExchangeTest, TheRestOfAFrameCutOffBeforeTheReplyIsDropped)
{
    // Stale bytes that arrive after the request went out (the tail of an
    // earlier reply) run into the reply's ':', which starts the frame afresh.
    line->queueReply(":0104020" + frameOf(kReply));
    ASSERT_EQ(exchange(kReadRequest), 0);
    EXPECT_EQ(std::string(reply, kReply.size()), kReply);
}

TEST_F(ExchangeTest, RtsIsDroppedAfterAGoodOrBadReplyButStaysUpAfterATimeOut)
{
    info->recvRTS = 1;
    line->queueReply(frameOf(kReply));
    ASSERT_EQ(exchange(kReadRequest), 0);
    EXPECT_FALSE(line->rts());

    std::string bad = frameOf(kReply);
    bad[1] = '9';
    line->queueReply(bad);
    ASSERT_EQ(exchange(kReadRequest), 5);
    EXPECT_FALSE(line->rts());

    ASSERT_EQ(exchange(kReadRequest), 7);
    EXPECT_TRUE(line->rts());
}

TEST_F(ExchangeTest, TheLineBytesSwitchDtrAndRtsForSendingAndReceiving)
{
    info->sendDTR = 1;
    info->sendRTS = 1;
    info->recvDTR = 0;
    info->recvRTS = 255;
    line->queueReply(frameOf(kReply));
    ASSERT_EQ(exchange(kReadRequest), 0);
    std::vector<platform::LineFunction> switched;
    for (const auto& e : line->events())
        if (e.kind == platform::FakeLine::EventKind::LineFunction)
            switched.push_back(e.function);
    const std::vector<platform::LineFunction> expected = {platform::LineFunction::SetDtr,
                                                          platform::LineFunction::SetRts,
                                                          platform::LineFunction::ClearDtr};
    EXPECT_EQ(switched, expected);
    EXPECT_TRUE(line->rts());
    EXPECT_FALSE(line->dtr());
}

TEST_F(ExchangeTest, AMutexHeldLongerThan3000MsGivesSevenWithoutTouchingTheLine)
{
    info->lastError = 5;
    info->state = 4;
    std::atomic<bool> holding{false};
    std::atomic<bool> done{false};
    std::thread holder([&] {
        platform::waitForMutex(info->hMutex, platform::kInfinite);
        holding = true;
        while (!done)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        platform::releaseMutex(info->hMutex);
    });
    ASSERT_TRUE(testing_support::waitFor([&] { return holding.load(); }));
    line->queueReply(frameOf(kReply));
    const int result = exchange(kReadRequest);
    done = true;
    holder.join();
    EXPECT_EQ(result, 7);
    EXPECT_TRUE(line->written().empty());
    EXPECT_EQ(info->lastError, 5);
    EXPECT_EQ(info->state, 4);
}

TEST_F(ExchangeTest, AReplyLongerThanTheFrameBufferEndsWithSeven)
{
    line->queueReply(":" + std::string(300, '0') + "\r\n");
    EXPECT_EQ(exchange(kReadRequest), 7);
    EXPECT_EQ(info->lastError, 7);
}

TEST_F(ExchangeTest, AReplyLargerThanTheCallersBufferEndsWithSevenAndWritesNothingBeyond)
{
    line->queueReply(frameOf(kReply));
    char small[8];
    std::memset(small, 'G', sizeof small);
    std::string request = kReadRequest;
    int n = -1;
    EXPECT_EQ(KCCommModBus(port, request.data(), 6, small, 4, &n), 7);
    EXPECT_EQ(small[4], 'G');
    EXPECT_EQ(small[7], 'G');
}

TEST_F(ExchangeTest, UnusableArgumentsGiveSeven)
{
    std::string request = kReadRequest;
    EXPECT_EQ(KCCommModBus(port, request.data(), -1, reply, 10, &count), 7);
    EXPECT_EQ(KCCommModBus(port, request.data(), 256, reply, 10, &count), 7);
    EXPECT_EQ(KCCommModBus(port, nullptr, 6, reply, 10, &count), 7);
    EXPECT_EQ(KCCommModBus(port, request.data(), 6, nullptr, 10, &count), 7);
    EXPECT_EQ(KCCommModBus(nullptr, request.data(), 6, reply, 10, &count), 7);
    EXPECT_TRUE(line->written().empty());
}

TEST_F(ExchangeTest, AReplyWithoutBytesIsAChecksumError)
{
    line->queueReply(":\r\n");
    EXPECT_EQ(exchange(kReadRequest), 5);
    EXPECT_EQ(count, 0);
}

TEST(ExchangeWithoutRecord, AHandleOpenedElsewhereIsServedWithoutMutexOrLines)
{
    auto line = std::make_shared<platform::FakeLine>();
    HandleGuard guard(platform::adoptSerialPort(std::make_unique<platform::FakeSerialPort>(line)));
    platform::Timeouts t{platform::kMaxTimeout, platform::kMaxTimeout, 50, 0, 0};
    platform::setTimeouts(guard.get(), t);
    line->queueReply(frameOf(kReply));
    std::string request = kReadRequest;
    char reply[64];
    int count = 0;
    EXPECT_EQ(KCCommModBus(guard.get(), request.data(), 6, reply, sizeof reply, &count), 0);
    EXPECT_EQ(std::string(reply, kReply.size()), kReply);
    for (const auto& e : line->events())
        EXPECT_NE(e.kind, platform::FakeLine::EventKind::LineFunction);
}

}  // namespace

namespace {

// A request answered in kind: the reply equals the request byte for byte, as
// function 6 of other devices does.
const std::string kAnsweredInKind("\x01\x06\x00\x01\x00\x03", 6);

TEST_F(ExchangeTest, OnAnEchoingLineTheEchoIsSkippedAndTheReplyTaken)
{
    line->setEcho(true);
    for (int i = 0; i < 3; ++i) {
        line->queueReply(frameOf(kReply));
        ASSERT_EQ(exchange(kReadRequest), 0) << "exchange " << i;
        EXPECT_EQ(std::string(reply, kReply.size()), kReply);
    }
    EXPECT_EQ(KCLineEchoes(port), 1) << "detected";
}

TEST_F(ExchangeTest, TheEchoSettingDecidesAboutAReplyEqualToItsRequest)
{
    // Where no echo is expected, such a reply is taken at once.
    ASSERT_EQ(KCSetEchoMode(port, KC_ECHO_OFF), KC_ECHO_AUTO);
    line->queueReply(frameOf(kAnsweredInKind));
    EXPECT_EQ(exchange(kAnsweredInKind), 0);
    EXPECT_EQ(KCLineEchoes(port), 0) << "as set";

    // Where every request comes back, the first such frame is the echo.
    ASSERT_EQ(KCSetEchoMode(port, KC_ECHO_ON), KC_ECHO_OFF);
    line->setEcho(true);
    line->queueReply(frameOf(kAnsweredInKind));
    EXPECT_EQ(exchange(kAnsweredInKind), 0);
    line->queueReply("");
    EXPECT_EQ(exchange(kAnsweredInKind), 7) << "an echo alone is no reply";
}

TEST_F(ExchangeTest, InAutomaticModeAReplyEqualToItsRequestStillCounts)
{
    // Nothing follows the frame: it was the reply, after one read time-out.
    line->queueReply(frameOf(kAnsweredInKind));
    EXPECT_EQ(exchange(kAnsweredInKind), 0);
    EXPECT_EQ(KCLineEchoes(port), -1);

    // Once the line has shown that it does not echo, without waiting.
    line->queueReply(frameOf(kReply));
    ASSERT_EQ(exchange(kReadRequest), 0);
    EXPECT_EQ(KCLineEchoes(port), 0);
    KCSetTimeOut(port, 2000);
    line->queueReply(frameOf(kAnsweredInKind));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(exchange(kAnsweredInKind), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));

    // A line thought silent that echoes after all: an echo is no valid reply
    // to a read, so it is skipped and the line's record corrected.
    line->setEcho(true);
    line->queueReply(frameOf(kReply));
    ASSERT_EQ(exchange(kReadRequest), 0);
    EXPECT_EQ(std::string(reply, kReply.size()), kReply);
    EXPECT_EQ(KCLineEchoes(port), 1);
}

TEST_F(ExchangeTest, ReopeningForgetsWhatTheLineShowedButKeepsTheSetting)
{
    KCSetEchoMode(port, KC_ECHO_ON);
    line->queueReply(frameOf(kReply));
    exchange(kReadRequest);
    KCClosePort(port);
    HandleGuard again = KCOpenPort("COM3", 5);
    ASSERT_TRUE(again);
    EXPECT_EQ(KCGetEchoMode(again.get()), KC_ECHO_ON);
    KCSetEchoMode(again.get(), KC_ECHO_AUTO);
    EXPECT_EQ(KCLineEchoes(again.get()), -1);
    port = again.release();
}

// A reply that answers something else is refused with its own error, and the
// exchange after it works.
struct RefusedCase {
    const char* name;
    std::string reply;
    kc::Fault fault;
    int code;
};

class RefusedReplyTest : public ExchangeTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedReplyTest, IsRefusedAndTheNextExchangeWorks)
{
    line->queueReply(frameOf(GetParam().reply));
    std::string copy = kReadRequest;
    const kc::Result result = kc::exchange(port, copy.data(), 6, reply, sizeof reply, &count);
    EXPECT_EQ(result.fault, GetParam().fault);
    EXPECT_EQ(result.code(), GetParam().code);
    EXPECT_EQ(info->lastError, GetParam().code);
    EXPECT_NE(info->state, 4);

    line->queueReply(frameOf(kReply));
    EXPECT_EQ(exchange(kReadRequest), 0);
    EXPECT_EQ(std::string(reply, kReply.size()), kReply);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, RefusedReplyTest,
    ::testing::Values(RefusedCase{"FromAnotherAddress", "\x02" + kReply.substr(1), kc::Fault::WrongAddress, 6},
                      RefusedCase{"OfAnotherFunction", "\x01\x03" + kReply.substr(2), kc::Fault::WrongFunction, 5},
                      RefusedCase{"TooShort", kReply.substr(0, 11), kc::Fault::BadLength, 5},
                      RefusedCase{"ForFewerRegisters", std::string("\x01\x04\x02\x12\x34", 5), kc::Fault::BadLength, 5},
                      RefusedCase{"AnExceptionWithoutItsCode", std::string("\x01\x84", 2), kc::Fault::BadLength, 5}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ExchangeTest, AnExceptionReplyIsAcceptedForTheCallerToRead)
{
    line->queueReply(frameOf(std::string("\x01\x84\x02", 3)));
    EXPECT_EQ(exchange(kReadRequest), 0);
    EXPECT_EQ(reply[2], 2);
}

TEST_F(ExchangeTest, AWedgedLineEndsWithinTheTimeOutAndTheLineTime)
{
    line->setStalled(true);
    const auto start = std::chrono::steady_clock::now();
    std::string copy = kReadRequest;
    const kc::Result result = kc::exchange(port, copy.data(), 6, reply, sizeof reply, &count);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(result.fault, kc::Fault::WriteFailed);
    EXPECT_EQ(result.code(), 7);
    // 50 ms time-out, 17 characters at 19200 baud, and some slack.
    EXPECT_LT(took, std::chrono::milliseconds(1000));
    EXPECT_TRUE(platform::waitForMutex(info->hMutex, 0)) << "mutex released";
    platform::releaseMutex(info->hMutex);
    line->setStalled(false);
}

TEST_F(ExchangeTest, TheSwitchToReceiveWaitsForTheRequestToLeaveOnlyWhenALineChanges)
{
    info->sendRTS = 1;
    info->recvRTS = 0;
    line->setAnswerWhileWriting(false);
    line->queueReply(frameOf(kReply));
    ASSERT_EQ(exchange(kReadRequest), 0);
    bool drained = false;
    for (const auto& e : line->events())
        drained = drained || e.kind == platform::FakeLine::EventKind::Drain;
    EXPECT_TRUE(drained) << "the switch to receive waits for the request to leave";

    line->clearEvents();
    info->recvRTS = 255;
    line->queueReply(frameOf(kReply));
    ASSERT_EQ(exchange(kReadRequest), 0);
    for (const auto& e : line->events())
        EXPECT_NE(e.kind, platform::FakeLine::EventKind::Drain) << "no switch, no wait";
}

TEST_F(ExchangeTest, AFailedPortSaysSoAndReleasesTheMutex)
{
    line->setFailed(true);
    std::string copy = kReadRequest;
    const kc::Result result = kc::exchange(port, copy.data(), 6, reply, sizeof reply, &count);
    EXPECT_EQ(result.fault, kc::Fault::PortFailed);
    EXPECT_EQ(result.code(), 7);
    EXPECT_STREQ(KCGetErrorTxt(result), "порт недоступен");
    EXPECT_TRUE(platform::waitForMutex(info->hMutex, 0));
    platform::releaseMutex(info->hMutex);
}

TEST(ResultText, EachFaultHasTheTextOfItsCodeOrOneOfItsOwn)
{
    EXPECT_STREQ(KCGetErrorTxt(kc::Result::success()), "");
    EXPECT_STREQ(KCGetErrorTxt(kc::Result::deviceException(2)), "неверный адрес");
    EXPECT_STREQ(KCGetErrorTxt(kc::Result::failure(kc::Fault::BadChecksum)), "ошибка CRC");
    EXPECT_STREQ(KCGetErrorTxt(kc::Result::failure(kc::Fault::WrongAddress)), "неверный адрес прибора");
    EXPECT_STREQ(KCGetErrorTxt(kc::Result::failure(kc::Fault::Timeout)), "тайм-аут");
    EXPECT_STREQ(KCGetErrorTxt(kc::Result::failure(kc::Fault::PortBusy)), "порт занят");
    EXPECT_STREQ(KCGetErrorTxt(kc::Result::failure(kc::Fault::WrongFunction)), "неверный код функции в ответе");
    EXPECT_STREQ(KCGetErrorTxt(kc::Result::failure(kc::Fault::BadLength)), "неверная длина ответа");
    EXPECT_STREQ(KCGetErrorTxt(kc::Result::failure(kc::Fault::WriteFailed)), "ошибка передачи запроса");
    EXPECT_EQ(kc::Result::failure(kc::Fault::BadArgument).code(), 3);
}

}  // namespace
