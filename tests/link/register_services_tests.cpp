// Register services over the fake port: the requests they send, what they
// store from the replies, and the counts they refuse.
#include "fake_device_port.h"

#include <array>
#include <cstring>
#include <random>

using namespace link_testing;

namespace {

const Bytes kTenWords("\x01\x04\x14" "\x00\x01\x00\x02\x00\x03\x00\x04\x00\x05\x00\x06\x00\x07\x00\x08\x00\x09\x12\x34", 23);

class RegisterServicesTest : public FakePortTest {};

TEST_F(RegisterServicesTest, ReadingTenRegistersFromZeroAtAddressOneSendsTheStandardFrame)
{
    line->queueReply(frameOf(kTenWords));
    unsigned short words[10] = {};
    ASSERT_EQ(readWords(port, 1, 0, words, 10), 0);
    EXPECT_EQ(line->written(), ":01040000000AF1\r\n");
    const unsigned short expected[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0x1234};
    EXPECT_TRUE(std::equal(words, words + 10, expected));
}

TEST_F(RegisterServicesTest, ReadWordsGivesTheExceptionCodeAndLeavesTheWords)
{
    line->queueReply(frameOf(Bytes("\x01\x84\x02", 3)));
    unsigned short words[2] = {0xAAAA, 0xAAAA};
    EXPECT_EQ(readWords(port, 1, 0, words, 2), 2);
    EXPECT_EQ(words[0], 0xAAAA);

    line->queueReply(frameOf(Bytes("\x01\x84\x85", 3)));
    EXPECT_EQ(readWords(port, 1, 0, words, 2), -123) << "the code is taken as a signed byte";
}

// Reply data, the count asked for, and what readWords makes of it: only a
// reply that carries exactly the registers asked for is believed.
struct StoreCase {
    const char* name;
    Bytes reply;
    unsigned short asked;
    kc::Fault fault;
};

class ReadWordsStoreTest : public FakePortTest, public ::testing::WithParamInterface<StoreCase> {};

TEST_P(ReadWordsStoreTest, StoresTheWordsOnlyFromAReplyThatAnswersTheRequest)
{
    const StoreCase& c = GetParam();
    line->queueReply(frameOf(c.reply));
    std::array<unsigned short, 16> words;
    words.fill(0xEEEE);
    const kc::Result result = kc::readWords(port, 1, 0, words.data(), c.asked);
    EXPECT_EQ(result.fault, c.fault);
    const int stored = result.ok() ? c.asked : 0;
    for (int i = 0; i < 16; ++i) {
        if (i < stored)
            EXPECT_EQ(words[i], 0x0101 * (i + 1)) << "word " << i;
        else
            EXPECT_EQ(words[i], 0xEEEE) << "word " << i << " written";
    }

    // Whatever the refused reply was, the next exchange works.
    line->queueReply(frameOf(Bytes("\x01\x04\x04\x01\x01\x02\x02", 7)));
    EXPECT_EQ(readWords(port, 1, 0, words.data(), 2), 0);
    EXPECT_EQ(words[1], 0x0202);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ReadWordsStoreTest,
    ::testing::Values(
        StoreCase{"AsAsked", Bytes("\x01\x04\x04\x01\x01\x02\x02", 7), 2, kc::Fault::None},
        StoreCase{"MoreThanAsked", Bytes("\x01\x04\x08\x01\x01\x02\x02\x03\x03\x04\x04", 11), 2,
                  kc::Fault::BadLength},
        StoreCase{"CountBeyondTheData", Bytes("\x01\x04\x14\x01\x01\x02\x02", 7), 8, kc::Fault::BadLength},
        StoreCase{"AByteCountBelowTheData", Bytes("\x01\x04\x02\x01\x01\x02\x02", 7), 2, kc::Fault::BadLength},
        StoreCase{"AByteCountAboveTheData", Bytes("\x01\x04\x06\x01\x01\x02\x02", 7), 2, kc::Fault::BadLength},
        StoreCase{"DataBeyondTheByteCount", Bytes("\x01\x04\x04\x01\x01\x02\x02\x03\x03", 9), 2,
                  kc::Fault::BadLength},
        StoreCase{"OddByteCount", Bytes("\x01\x04\x05\x01\x01\x02\x02\x03", 8), 8, kc::Fault::BadLength},
        StoreCase{"NegativeByteCount", Bytes("\x01\x04\xF0\x01\x01", 5), 8, kc::Fault::BadLength},
        StoreCase{"ZeroAsked", Bytes("\x01\x04\x04\x01\x01\x02\x02", 7), 0, kc::Fault::BadLength},
        StoreCase{"TooShortToCarryData", Bytes("\x01\x04", 2), 8, kc::Fault::BadLength},
        StoreCase{"AnotherAddress", Bytes("\x02\x04\x04\x01\x01\x02\x02", 7), 2, kc::Fault::WrongAddress},
        StoreCase{"AnotherFunction", Bytes("\x01\x03\x04\x01\x01\x02\x02", 7), 2, kc::Fault::WrongFunction},
        StoreCase{"TheEchoOfTheRequest", Bytes("\x01\x04\x00\x00\x00\x02", 6), 2, kc::Fault::BadLength},
        StoreCase{"AShortExceptionReply", Bytes("\x01\x84", 2), 2, kc::Fault::BadLength}),
    [](const auto& info) { return std::string(info.param.name); });

// Whatever a device sends back, nothing is written past the caller's words.
TEST_F(RegisterServicesTest, ArbitraryRepliesNeverWritePastTheWords)
{
    std::mt19937 random(7);
    playDevice([&random](const Bytes& request) {
        Bytes reply = request.substr(0, 2);
        const int length = static_cast<int>(random() % 124);
        for (int i = 0; i < length; ++i)
            reply += static_cast<char>(random());
        if (random() % 4 == 0)
            reply[1] = static_cast<char>(reply[1] | 0x80);
        return reply;
    });
    for (int round = 0; round < 300; ++round) {
        const auto count = static_cast<unsigned short>(random() % 9);
        std::array<unsigned short, 16> words;
        words.fill(0xEEEE);
        const int result = readWords(port, 1, 0, words.data(), count);
        EXPECT_NE(result, KC_TIMEOUT);
        for (std::size_t i = count; i < words.size(); ++i)
            ASSERT_EQ(words[i], 0xEEEE) << "round " << round << ", word " << i;
        unsigned short status = 0;
        readException(port, 1, &status);
        DeviceInfo info{};
        if (round % 30 == 0)
            getDeviceInfo(port, 1, &info);
    }
}

TEST_F(RegisterServicesTest, ReadWordsPassesExchangeFailuresOnAndKeepsTheWords)
{
    unsigned short words[2] = {7, 7};
    EXPECT_EQ(readWords(port, 1, 0, words, 2), 7);
    std::string bad = frameOf(Bytes("\x01\x04\x04\x01\x01\x02\x02", 7));
    bad[bad.size() - 3] ^= 1;
    line->queueReply(bad);
    EXPECT_EQ(readWords(port, 1, 0, words, 2), 5);
    EXPECT_EQ(words[0], 7);
}

TEST_F(RegisterServicesTest, ReadWordsWithoutABufferIsRefusedWithoutSending)
{
    EXPECT_EQ(readWords(port, 1, 0, nullptr, 3), KC_ILLEGAL_DATA);
    EXPECT_TRUE(line->written().empty());
}

TEST_F(RegisterServicesTest, WriteWordsSendsFunction16AndLeavesTheCallersWordsInLineOrder)
{
    line->queueReply(frameOf(Bytes("\x02\x10\x02\x00\x00\x02", 6)));
    unsigned short words[2] = {0x0102, 0xA0B0};
    ASSERT_EQ(writeWords(port, 2, 512, words, 2), 0);
    ASSERT_EQ(requests().size(), 1u);
    EXPECT_EQ(requests()[0], Bytes("\x02\x10\x02\x00\x00\x02\x04\x01\x02\xA0\xB0", 11));
    EXPECT_EQ(words[0], 0x0201);
    EXPECT_EQ(words[1], 0xB0A0);
}

TEST_F(RegisterServicesTest, WriteWordsRunsTheSharedExchange)
{
    KCPortInfo* info = getKCPortInfo(port);
    unsigned short words[1] = {5};
    std::string bad = frameOf(Bytes("\x01\x10\x02\x00\x00\x01", 6));
    bad[1] = '9';
    line->queueReply(bad);
    EXPECT_EQ(writeWords(port, 1, 512, words, 1), 5);
    EXPECT_EQ(info->lastError, 5);
    EXPECT_EQ(info->state, 3);

    EXPECT_EQ(writeWords(port, 1, 512, words, 1), 7);
    EXPECT_EQ(info->lastError, 7);
    EXPECT_EQ(words[0], 5) << "swapped twice: each call turns the words in place";
}

TEST_F(RegisterServicesTest, WriteWordsGivesTheExceptionCodeOfTheReply)
{
    line->queueReply(frameOf(Bytes("\x01\x90\x03", 3)));
    unsigned short words[1] = {5};
    EXPECT_EQ(writeWords(port, 1, 512, words, 1), 3);
    // Too short to carry a code: no confirmation of the write either.
    line->queueReply(frameOf(Bytes("\x01\x90", 2)));
    EXPECT_EQ(kc::writeWords(port, 1, 512, words, 1).fault, kc::Fault::BadLength);
    // A confirmation of other registers than those written is none.
    line->queueReply(frameOf(Bytes("\x01\x10\x02\x01\x00\x01", 6)));
    words[0] = 5;
    EXPECT_EQ(kc::writeWords(port, 1, 512, words, 1).fault, kc::Fault::BadLength);
}

TEST_F(RegisterServicesTest, AWriteConfirmationNamingFewerWordsThanWrittenIsRefused)
{
    unsigned short words[2] = {5, 6};
    line->queueReply(frameOf(Bytes("\x01\x10\x02\x00\x00\x01", 6)));
    EXPECT_EQ(kc::writeWords(port, 1, 512, words, 2).fault, kc::Fault::BadLength);
    words[0] = 5;
    words[1] = 6;
    line->queueReply(frameOf(Bytes("\x01\x10\x02\x00\x00\x02", 6)));
    EXPECT_TRUE(kc::writeWords(port, 1, 512, words, 2).ok()) << "the same confirmation naming both words";
}

TEST_F(RegisterServicesTest, WriteWordsSendsUpTo124WordsAndRefusesMore)
{
    std::array<unsigned short, 125> words;
    words.fill(0x1234);
    EXPECT_EQ(writeWords(port, 1, 0, words.data(), 125), KC_ILLEGAL_DATA);
    EXPECT_TRUE(line->written().empty());
    EXPECT_EQ(words[0], 0x1234) << "a refused request leaves the words alone";
    EXPECT_EQ(writeWords(port, 1, 0, nullptr, 1), KC_ILLEGAL_DATA);

    line->queueReply(frameOf(Bytes("\x01\x10\x00\x00\x00\x7C", 6)));
    EXPECT_EQ(writeWords(port, 1, 0, words.data(), 124), 0);
    EXPECT_EQ(line->written().size(), 1u + 2 * (255 + 1) + 2) << "a 255-byte request and its LRC";
}

TEST_F(RegisterServicesTest, WriteTableSendsBlocksOfTenToTheShiftedRegister)
{
    playDevice([](const Bytes& r) { return r.substr(0, 6); });
    std::array<unsigned short, 25> words;
    for (int i = 0; i < 25; ++i)
        words[i] = static_cast<unsigned short>(0x0100 + i);
    const auto original = words;
    ASSERT_EQ(writeTable(port, 1, 1000, words.data(), 25, 1), 0);
    EXPECT_EQ(words, original) << "the caller's words are never changed";

    const auto sent = requests();
    ASSERT_EQ(sent.size(), 3u);
    const unsigned short firstRegister = static_cast<unsigned short>(1000 - 22016);
    const int blockWords[3] = {10, 10, 5};
    for (int b = 0; b < 3; ++b) {
        const Bytes& r = sent[b];
        const unsigned short reg = static_cast<unsigned short>(firstRegister + 10 * b);
        ASSERT_EQ(r.size(), 7u + 2 * blockWords[b]) << "block " << b;
        EXPECT_EQ(r[1], 25);
        EXPECT_EQ(static_cast<unsigned char>(r[2]), reg >> 8);
        EXPECT_EQ(static_cast<unsigned char>(r[3]), reg & 0xFF);
        EXPECT_EQ(r[4], 0);
        EXPECT_EQ(r[5], blockWords[b]);
        EXPECT_EQ(r[6], 2 * blockWords[b]);
        // With swap on, the host-order words go out big-endian.
        EXPECT_EQ(r[7], 0x01);
        EXPECT_EQ(r[8], 10 * b);
    }
}

TEST_F(RegisterServicesTest, WriteTableRegisterWrapsAtSixteenBits)
{
    playDevice([](const Bytes& r) { return r.substr(0, 6); });
    unsigned short words[12] = {};
    ASSERT_EQ(writeTable(port, 1, 22010, words, 12, 0), 0);
    const auto sent = requests();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(Bytes(sent[0].substr(2, 2)), Bytes("\xFF\xFA", 2));
    EXPECT_EQ(Bytes(sent[1].substr(2, 2)), Bytes("\x00\x04", 2));
}

TEST_F(RegisterServicesTest, WriteTableWithoutSwapSendsTheWordsAsTheyLieInMemory)
{
    playDevice([](const Bytes& r) { return r.substr(0, 6); });
    unsigned short words[1];
    std::memcpy(words, "\xAB\xCD", 2);
    ASSERT_EQ(writeTable(port, 1, 0, words, 1, 0), 0);
    EXPECT_EQ(requests()[0].substr(7), Bytes("\xAB\xCD", 2));
}

TEST_F(RegisterServicesTest, WriteTableStopsAtTheFirstFailedBlock)
{
    int block = 0;
    playDevice([&block](const Bytes& r) { return ++block == 2 ? Bytes("\x01\x99\x04", 3) : r.substr(0, 6); });
    unsigned short words[30] = {};
    EXPECT_EQ(writeTable(port, 1, 0, words, 30, 1), 4);
    EXPECT_EQ(requests().size(), 2u);

    playDevice([](const Bytes&) { return Bytes(); });
    EXPECT_EQ(writeTable(port, 1, 0, words, 30, 1), 7);
}

TEST_F(RegisterServicesTest, WriteTableSendsNothingForNoWordsAndRefusesMoreThan150)
{
    playDevice([](const Bytes& r) { return r.substr(0, 6); });
    std::array<unsigned short, 151> words{};
    EXPECT_EQ(writeTable(port, 1, 0, words.data(), 0, 1), 0);
    EXPECT_EQ(writeTable(port, 1, 0, words.data(), 151, 1), KC_ILLEGAL_DATA);
    EXPECT_EQ(writeTable(port, 1, 0, nullptr, 3, 1), KC_ILLEGAL_DATA);
    EXPECT_TRUE(line->written().empty());
    EXPECT_EQ(writeTable(port, 1, 0, words.data(), 150, 1), 0);
    EXPECT_EQ(requests().size(), 15u);
}

TEST_F(RegisterServicesTest, StatusAndTypeBytesAreSignExtended)
{
    playDevice([](const Bytes& r) { return r + (r[1] == 7 ? "\x85" : "\x03"); });
    unsigned short status = 0, type = 0;
    ASSERT_EQ(readException(port, 1, &status), 0);
    ASSERT_EQ(readTypeID(port, 1, &type), 0);
    EXPECT_EQ(status, 0xFF85);
    EXPECT_EQ(type, 3);
    EXPECT_EQ(line->written(), ":0107F8\r\n:0105FA\r\n");
}

TEST_F(RegisterServicesTest, AnExceptionReplyToTheStatusRequestDeliversItsCodeAsTheValue)
{
    line->queueReply(frameOf(Bytes("\x01\x87\x01", 3)));
    unsigned short status = 0;
    EXPECT_EQ(readException(port, 1, &status), 0);
    EXPECT_EQ(status, 1);
}

TEST_F(RegisterServicesTest, AFailedStatusRequestKeepsTheValue)
{
    unsigned short status = 42;
    EXPECT_EQ(readException(port, 1, &status), 7);
    EXPECT_EQ(status, 42);
    EXPECT_EQ(readException(port, 1, nullptr), KC_ILLEGAL_DATA);
    EXPECT_EQ(readTypeID(port, 1, nullptr), KC_ILLEGAL_DATA);
}

}  // namespace
