#include "csv_rows.h"

#include <charconv>
#include <cstdio>

namespace tools {

namespace {

constexpr std::int64_t kUnitsPerMs = 10000;
constexpr std::int64_t kMsPerDay = 86400000;
constexpr std::int64_t kUnitsPerDay = kMsPerDay * kUnitsPerMs;

// Writes `value` with at least `digits` digits, zeros in front.
char* putPadded(char* p, unsigned value, int digits)
{
    for (int i = digits - 1; i >= 0; --i) {
        p[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return p + digits;
}

char* putNumber(char* p, char* end, std::int64_t value)
{
    return std::to_chars(p, end, value).ptr;
}

}  // namespace

std::string csvHeader(bool ratio, CsvForm form)
{
    const std::string separator = form == CsvForm::Russian ? ";" : ",";
    return "Время" + separator + "Время от начала (мс)" + separator + "Температура (°C)" + separator
        + (ratio ? "Отношение степеней черноты" : "Степень черноты") + separator + "Кванты\r\n";
}

CsvRows::CsvRows(const platform::SystemTime& begin, bool ratio, CsvForm form)
    : ratio_(ratio),
      separator_(form == CsvForm::Russian ? ';' : ','),
      decimalPoint_(form == CsvForm::Russian ? ',' : '.')
{
    valid_ = platform::systemTimeToFileTime(begin, begin_);
}

bool CsvRows::append(std::string& out, std::int64_t ms, std::int32_t temperature, unsigned short emissivity,
                     std::int32_t quantum)
{
    // Further than about 8,900 years from the begin no calendar date lies;
    // the bound keeps the arithmetic within 64 bits.
    constexpr std::int64_t kFarthestMs = std::int64_t{1} << 48;
    if (!valid_ || ms > kFarthestMs || ms < -kFarthestMs)
        return false;
    const std::int64_t units = static_cast<std::int64_t>(begin_) + ms * kUnitsPerMs;
    if (units < 0)
        return false;
    const std::int64_t day = units / kUnitsPerDay;
    if (day != day_) {
        platform::SystemTime date{};
        if (!platform::fileTimeToSystemTime(static_cast<std::uint64_t>(day * kUnitsPerDay), date))
            return false;
        const int n = std::snprintf(date_, sizeof date_, "%04u-%02u-%02uT", unsigned{date.year}, unsigned{date.month},
                                    unsigned{date.day});
        dateLength_ = static_cast<std::size_t>(n);
        day_ = day;
    }
    const auto clock = static_cast<unsigned>((units % kUnitsPerDay) / kUnitsPerMs);

    char row[128];
    char* const end = row + sizeof row;
    char* p = row;
    for (std::size_t i = 0; i < dateLength_; ++i)
        *p++ = date_[i];
    p = putPadded(p, clock / 3600000, 2);
    *p++ = ':';
    p = putPadded(p, clock / 60000 % 60, 2);
    *p++ = ':';
    p = putPadded(p, clock / 1000 % 60, 2);
    *p++ = '.';
    p = putPadded(p, clock % 1000, 3);
    *p++ = separator_;
    p = putNumber(p, end, ms);
    *p++ = separator_;
    p = putNumber(p, end, temperature);
    *p++ = separator_;
    // The emissivity word is a fixed-point number: exact in decimal.
    const unsigned divisor = ratio_ ? 1000 : 100;
    p = putNumber(p, end, emissivity / divisor);
    *p++ = decimalPoint_;
    p = putPadded(p, emissivity % divisor, ratio_ ? 3 : 2);
    *p++ = separator_;
    p = putNumber(p, end, quantum);
    *p++ = '\r';
    *p++ = '\n';
    out.append(row, static_cast<std::size_t>(p - row));
    return true;
}

}  // namespace tools
