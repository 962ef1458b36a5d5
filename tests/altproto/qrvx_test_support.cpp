#include "qrvx_test_support.h"

#include "test_support.h"

#include "platform/handle.h"
#include "platform/sync.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace qrvx_test {

namespace {

constexpr const char* kConfigVariable = "KL_SYSTEM_CONFIG_DIR";

class Locked {
public:
    explicit Locked(QRVXContext& c) : lock_(c.lock) { platform::waitForMutex(lock_, platform::kInfinite); }
    ~Locked() { platform::releaseMutex(lock_); }

private:
    void* lock_;
};

}  // namespace

RunningStream::RunningStream(void* port, bool withDataEvent) : buffer_(QRVX_BUFFER_SIZE)
{
    context_.port = port;
    context_.stopEvent = platform::createEvent(nullptr, true, false);
    context_.lock = platform::createMutex(nullptr);
    context_.dataEvent = withDataEvent ? platform::createEvent(nullptr, false, false) : nullptr;
    {
        Locked lock(context_);
        context_.buffer = context_.readPos = context_.writePos = buffer_.data();
    }
    receiver_ = std::thread([this] {
        result_ = QRVXReadPort(&context_);
        ended_ = true;
    });
}

RunningStream::~RunningStream()
{
    requestStop();
    receiver_.join();
    platform::closeHandle(context_.port);
    platform::closeHandle(context_.lock);
    platform::closeHandle(context_.stopEvent);
    if (context_.dataEvent)
        platform::closeHandle(context_.dataEvent);
}

void RunningStream::requestStop()
{
    platform::setEvent(context_.stopEvent);
}

std::string RunningStream::unconsumed()
{
    Locked lock(context_);
    return std::string(context_.readPos, context_.writePos);
}

bool RunningStream::waitForStored(std::size_t bytes, std::chrono::milliseconds deadline)
{
    return testing_support::waitFor(
        [&] {
            Locked lock(context_);
            return static_cast<std::size_t>(context_.writePos - context_.buffer) >= bytes;
        },
        deadline);
}

bool RunningStream::waitForDiscard(std::chrono::milliseconds deadline)
{
    return testing_support::waitFor(
        [&] {
            Locked lock(context_);
            return context_.writePos == context_.buffer;
        },
        deadline);
}

TuningFile::TuningFile(const std::string& folder)
    : path_(folder + "/OSTRELAN/VA_ZIRUDEZOV.conf")
{
    if (const char* old = std::getenv(kConfigVariable)) {
        had_ = true;
        old_ = old;
    }
    ::setenv(kConfigVariable, folder.c_str(), 1);
    std::filesystem::create_directories(folder + "/OSTRELAN");
}

TuningFile::~TuningFile()
{
    if (had_)
        ::setenv(kConfigVariable, old_.c_str(), 1);
    else
        ::unsetenv(kConfigVariable);
}

void TuningFile::write(const std::vector<std::string>& lines)
{
    std::ofstream file(path_, std::ios::trunc);
    file << "; machine-wide tuning of the QRVX library\n[QRVX]\n";
    for (const auto& line : lines)
        file << line << "\n";
}

void TuningFile::remove()
{
    std::filesystem::remove(path_);
}

ScopedCurrentDirectory::ScopedCurrentDirectory(const std::string& folder)
    : previous_(std::filesystem::current_path().string())
{
    std::filesystem::current_path(folder);
}

ScopedCurrentDirectory::~ScopedCurrentDirectory()
{
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
}

long long millisecondsOf(const std::function<void()>& action)
{
    const auto start = std::chrono::steady_clock::now();
    action();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

std::string readFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace qrvx_test
