#include "qrvx_rules.h"

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

QStringList limitListValues(long start, long end, long step)
{
    QStringList values;
    if (step <= 0)
        return values;
    for (long long v = start; v < end; v += step)
        values << QString::number(v);
    return values;
}

QStringList upperLimitListValues(long start, long end, long step, long lowerLimit)
{
    QStringList values;
    if (step <= 0)
        return values;
    for (long long v = start; v < end; v += step)
        if (v > lowerLimit)
            values << QString::number(v);
    return values;
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
