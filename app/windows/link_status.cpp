#include "windows/link_status.h"

#include <algorithm>

QString linkText(bool connected, bool waitingForPort, const QString& port, unsigned address, unsigned baudCode)
{
    if (!connected)
        return "Нет связи";
    if (waitingForPort)
        return QString("Порт %1 недоступен, ожидание подключения").arg(port);
    const char* speed = KCGetBaudRateName(static_cast<unsigned short>(baudCode));
    const QString baud = speed != nullptr ? QString(speed) : QString::number(baudRateOfCode(baudCode));
    return QString("%1, адрес %2, %3 бит/сек.").arg(port).arg(address).arg(baud);
}

QString readingsText(long readings)
{
    return QString("Показаний: %1").arg(readings);
}

QString failuresText(const kc::LinkCounts& counters)
{
    if (counters.corrupt == 0)
        return QString("Ошибок: %1").arg(counters.failedTries);
    return QString("Ошибок: %1, искажённых ответов: %2").arg(counters.failedTries).arg(counters.corrupt);
}

QString ageText(std::optional<std::uint32_t> ageMs)
{
    if (!ageMs)
        return QString();
    const std::uint32_t seconds = *ageMs / 1000;
    if (seconds < 60)
        return QString("Последнее показание %1 с назад").arg(seconds);
    if (seconds < 3600)
        return QString("Последнее показание %1 мин %2 с назад").arg(seconds / 60).arg(seconds % 60);
    return QString("Последнее показание %1 ч %2 мин назад").arg(seconds / 3600).arg(seconds / 60 % 60);
}

void Staleness::setPeriod(int periodMs)
{
    periodMs_ = periodMs < 20 ? 20 : periodMs;
    interval_ = 0;
}

void Staleness::reading(std::uint32_t tick)
{
    if (last_) {
        const double gap = static_cast<std::uint32_t>(tick - *last_);
        // A running mean that follows the line's real pace within a few
        // readings; a pause counts no more than twice the pace, so that it
        // does not hide the next one.
        interval_ = interval_ == 0 ? gap : (3 * interval_ + std::min(gap, 2 * std::max<double>(periodMs_, interval_))) / 4;
    }
    last_ = tick;
}

std::optional<std::uint32_t> Staleness::ageMs(std::uint32_t now) const
{
    if (!last_)
        return std::nullopt;
    return static_cast<std::uint32_t>(now - *last_);
}

bool Staleness::isStale(std::uint32_t now) const
{
    const auto age = ageMs(now);
    return age && *age > 3 * std::max(static_cast<double>(periodMs_), interval_);
}
