// What the main window's status bar says about the link, and when a reading
// counts as stale: without widgets, so that the rules are tested alone.
#pragma once

#include <kcmb.h>

#include <QString>
#include <QTime>

#include <cstdint>
#include <optional>

// "COM1, адрес 1, 19200 бит/сек." while connected, "Нет связи" while not,
// and the wait for a port that failed.
QString linkText(bool connected, bool waitingForPort, const QString& port, unsigned address, unsigned baudCode);
QString readingsText(long readings);
// The failed requests since connecting, every try; of them, replies that
// came spoiled (checksum, address, function or length).
QString failuresText(const kc::LinkCounts& counters);
// "Последнее показание 3 с назад"; empty before the first reading.
QString ageText(std::optional<std::uint32_t> ageMs);

// When readings are overdue: three times the longer of the polling period
// and the interval the readings actually came at.
class Staleness {
public:
    explicit Staleness(int periodMs) : periodMs_(periodMs < 20 ? 20 : periodMs) {}

    // A new polling period: the line's pace is learnt again.
    void setPeriod(int periodMs);
    // A reading at `tick`.
    void reading(std::uint32_t tick);
    // How long ago the last reading came, or none before the first one.
    std::optional<std::uint32_t> ageMs(std::uint32_t now) const;
    bool isStale(std::uint32_t now) const;

private:
    int periodMs_;
    std::optional<std::uint32_t> last_;
    double interval_ = 0;
};
