// The Modbus ASCII reply path with arbitrary bytes from the device: the
// exchange and the register services over the in-memory port. The first byte
// picks the service and the echo setting; the rest is what the device sends.
// Every exchange must end by its deadline on the in-memory line's clock,
// however many characters come.
#include <kcmb.h>

#include "platform/fake_serial_port.h"
#include "platform/message_box.h"

#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::shared_ptr<platform::FakeLine> g_line;
void* g_port = nullptr;

void require(bool condition)
{
    if (!condition)
        std::abort();
}

// The port's speed (baud code 5) and read time-out (none: what has come is
// all there is), as set up below.
constexpr std::uint64_t kBaud = 19200;
constexpr int kLongestReplyChars = 256;

// Each exchange's reading ended by the read time-out (0 here) plus the line
// time of its request's echo and the longest reply, counted from the request;
// one character's time more for the last character taken.
void requireDeadlinesKept(const std::vector<platform::FakeLine::Event>& events)
{
    using Kind = platform::FakeLine::EventKind;
    const platform::FakeLine::Event* request = nullptr;
    for (const auto& e : events) {
        if (e.kind == Kind::Write)
            request = &e;
        if (e.kind != Kind::Read || request == nullptr)
            continue;
        const std::uint64_t chars = request->bytes.size() + kLongestReplyChars + 1;
        const auto deadline = std::chrono::microseconds(chars * 10 * 1000000 / kBaud) + std::chrono::milliseconds(1);
        require(e.at - request->at <= deadline);
    }
}

void readWordsCase(unsigned short count)
{
    std::array<unsigned short, 130> words;
    words.fill(0xEEEE);
    const kc::Result result = kc::readWords(g_port, 1, 256, words.data(), count);
    for (std::size_t i = count; i < words.size(); ++i)
        require(words[i] == 0xEEEE);
    if (!result.ok())
        for (std::size_t i = 0; i < count; ++i)
            require(words[i] == 0xEEEE);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    platform::setMessageBoxService([](const platform::MessageRequest&) { return platform::MessageAnswer::Ok; });
    const auto dir = std::filesystem::temp_directory_path() / ("kl_exchange_fuzz_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::filesystem::remove(dir / "COM3");
    std::filesystem::create_symlink("/dev/null", dir / "COM3");
    static const std::filesystem::path folder = dir;
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    });
    ::setenv("KL_DEVICE_DIR", dir.c_str(), 1);
    g_line = std::make_shared<platform::FakeLine>();
    platform::registerFakeDevice("COM3", g_line);
    require(KCInit());
    g_port = KCOpenPort("COM3", 5).release();
    require(platform::isUsableHandle(g_port));
    // Everything the device sends is there before the read: no waiting.
    require(platform::setTimeouts(g_port, {platform::kMaxTimeout, 0, 0, 0, 0}));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::uint8_t selector = data[0];
    KCSetEchoMode(g_port, selector % 3);
    g_line->setEcho((selector & 0x04) != 0);
    g_line->setAnswerWhileWriting((selector & 0x08) != 0);
    g_line->queueReply(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
    switch (selector >> 4) {
    case 0: readWordsCase(5); break;
    case 1: readWordsCase(static_cast<unsigned short>(size % 131)); break;
    case 2: {
        unsigned short status = 0;
        kc::readException(g_port, 1, &status);
        break;
    }
    case 3: {
        unsigned short words[11] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
        kc::writeWords(g_port, 1, 512, words, 11);
        break;
    }
    case 4: {
        DeviceInfo info{};
        getDeviceInfo(g_port, 1, &info);
        break;
    }
    default: {
        char request[6] = {1, 4, 0, 0, 0, 10};
        char reply[40];
        int count = -1;
        const int result = KCCommModBus(g_port, request, 6, reply, sizeof reply, &count);
        if (result == 0)
            require(count >= 3 && count <= static_cast<int>(sizeof reply));
        break;
    }
    }
    requireDeadlinesKept(g_line->events());
    // A reply that no request took must not answer the next input's request,
    // and the line's record starts afresh, so that memory stays flat.
    g_line->clearReplies();
    g_line->clearEvents();
    return 0;
}
