#include "settings/value_text.h"

#include <algorithm>
#include <cmath>
#include <limits>

QString numberText(double value)
{
    return QString::number(value, 'g', 15);
}

std::optional<double> parseNumber(const QString& text)
{
    QString t = text.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double value = t.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<std::int32_t> parseInteger(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

std::int32_t wholeUnits(double value, double factor)
{
    const double product = value * factor;
    const double nearest = std::round(product);
    // Within a billionth of a whole number: the edited text meant that number.
    const double whole = std::fabs(product - nearest) <= 1e-9 * std::max(1.0, std::fabs(product))
        ? nearest
        : std::trunc(product);
    constexpr double lowest = std::numeric_limits<std::int32_t>::min();
    constexpr double highest = std::numeric_limits<std::int32_t>::max();
    if (!(whole >= lowest))
        return std::numeric_limits<std::int32_t>::min();
    if (whole > highest)
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(whole);
}

QString notANumberMessage()
{
    return QStringLiteral("Введите число.");
}

QString notAnIntegerMessage()
{
    return QStringLiteral("Введите целое число.");
}

QString integerRangeMessage(int lowest, int highest)
{
    return QStringLiteral("Введите целое число от %1 до %2.").arg(lowest).arg(highest);
}
