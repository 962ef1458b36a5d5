#include "windows/qrvx_rules.h"

#include <QLocale>

#include <cmath>
#include <cstdlib>
#include <limits>

int frameFieldKeepFrom(const QString& shown, int addedLength)
{
    const long long n = static_cast<long long>(shown.size()) + addedLength + 1;
    if (n <= kFrameFieldLimit)
        return 0;
    for (int i = shown.indexOf('\n'); i >= 0; i = shown.indexOf('\n', i + 1))
        if (n - i < kFrameFieldLimit)
            return i + 1;
    return static_cast<int>(shown.size());
}

QString frameFieldText(int displayMode, const QString& frameText, int value)
{
    if (displayMode == 0)
        return frameText;
    return value > 0 ? QString::asprintf("%lu\r\n", static_cast<unsigned long>(value)) : QString();
}

namespace {

// start, start + step, ... below end, from the first above `floor` on, at
// most kLimitListMaxEntries of them.
QStringList steppedValues(long long start, long long end, long long step, long long floor)
{
    QStringList values;
    if (step <= 0)
        return values;
    long long v = start;
    if (v <= floor)
        v += ((floor - v) / step + 1) * step;
    for (; v < end && values.size() < kLimitListMaxEntries; v += step)
        values << QString::number(v);
    return values;
}

}  // namespace

long long limitListCount(long start, long end, long step)
{
    if (step <= 0 || end <= start)
        return 0;
    const long long span = static_cast<long long>(end) - start;
    return (span + step - 1) / step;
}

QStringList limitListValues(long start, long end, long step)
{
    return steppedValues(start, end, step, std::numeric_limits<long long>::min());
}

QStringList upperLimitListValues(long start, long end, long step, long lowerLimit)
{
    return steppedValues(start, end, step, lowerLimit);
}

long leadingNumber(const QString& text)
{
    return std::atol(text.toLatin1().constData());
}

double periodSecondsOf(const QString& text)
{
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double seconds = c.toDouble(text.trimmed(), &ok);
    return ok && std::isfinite(seconds) ? seconds : 0.0;
}

int millisecondsOf(double seconds)
{
    const double ms = std::trunc(seconds * 1000.0);
    if (!(ms > std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    if (ms >= std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    return static_cast<int>(ms);
}
