#include "exchange_log.h"

#include "platform/clock.h"

namespace qrvx {

ExchangeLog::ExchangeLog(std::uint32_t startTick) : start_(startTick), file_(std::fopen("qrvx.log", "ab")) {}

ExchangeLog::~ExchangeLog()
{
    close();
}

void ExchangeLog::header(std::uint32_t zeroWaitTime)
{
    if (file_ == nullptr)
        return;
    std::fputs(log_format::kRule, file_);
    std::fprintf(file_, log_format::kStart, static_cast<unsigned long>(start_));
    std::fprintf(file_, log_format::kTimeout, static_cast<unsigned>(zeroWaitTime));
}

void ExchangeLog::close()
{
    if (file_ != nullptr)
        std::fclose(file_);
    file_ = nullptr;
}

std::uint32_t ExchangeLog::elapsed() const
{
    return platform::tickCount() - start_;
}

}  // namespace qrvx
