// The debug log of QRVXWriteZero: "qrvx.log" in the current directory,
// appended to by each call. Every line after the call's header starts with
// the milliseconds since the call began and a tab.
#pragma once

#include <cstdint>
#include <cstdio>

namespace qrvx {

// The line formats; each stamped one takes the elapsed milliseconds first.
namespace log_format {
constexpr const char* kRule = "\n--------------------------------------------------\n";
constexpr const char* kStart = "%lu\tstart QRVXWriteZero\n";  // the tick count itself
constexpr const char* kTimeout = "\t timeout = %u\n";
constexpr const char* kBeginSync = "%lu\tbegin wait sync char\n";
constexpr const char* kSyncTimeout = "%lu\tTimeout wait sync char !!!\n";
constexpr const char* kSyncSeen = "%lu\tReceive sync char !!!\n";
constexpr const char* kStartTimer = "%lu\tstart timeout\n";
constexpr const char* kBeginCommand = "%lu\tbegin write 'Z'\n";
constexpr const char* kEndCommand = "%lu\tend write 'Z'\n";
constexpr const char* kStartEchoWait = "%lu\tstart wait 'Z'\n";
constexpr const char* kEchoSeen = "%lu\treal read 'Z'\n";
// The packet is printed as %s would, but never past its length.
constexpr const char* kBeginPacket = "%lu\tbegin write packet %.*s\n";
constexpr const char* kEndPacket = "%lu\tend write packet, len=%u\n";
constexpr const char* kEchoTimeout = "%lu\tTimeout wait 'Z'!!!\n";
}  // namespace log_format

// One call's log. When the file cannot be opened the call goes on unlogged.
class ExchangeLog {
public:
    explicit ExchangeLog(std::uint32_t startTick);
    ~ExchangeLog();
    ExchangeLog(const ExchangeLog&) = delete;
    ExchangeLog& operator=(const ExchangeLog&) = delete;

    // The rule, the start tick and the reply time-out.
    void header(std::uint32_t zeroWaitTime);

    template <class... Args>
    void stamped(const char* format, Args... args)
    {
        if (file_ != nullptr)
            std::fprintf(file_, format, static_cast<unsigned long>(elapsed()), args...);
    }

    void close();

private:
    std::uint32_t elapsed() const;

    std::uint32_t start_;
    std::FILE* file_;
};

}  // namespace qrvx
