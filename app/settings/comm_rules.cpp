#include "settings/comm_rules.h"

#include "settings/value_text.h"

#include <Qt>

namespace {

// The time-out word counts steps of 0.02 s.
constexpr double kTimeoutStepsPerSecond = 50.0;
constexpr double kLowestTimeout = 0.5;
constexpr double kHighestTimeout = 2.0;

}  // namespace

double timeoutSeconds(std::uint16_t word)
{
    return word / kTimeoutStepsPerSecond;
}

std::uint16_t timeoutWord(double seconds)
{
    return static_cast<std::uint16_t>(wholeUnits(seconds, kTimeoutStepsPerSecond));
}

std::optional<QString> timeoutProblem(double seconds)
{
    if (seconds >= kLowestTimeout && seconds <= kHighestTimeout)
        return std::nullopt;
    return QStringLiteral("Ошибка при вводе тайм-аута.\n Допустимое значение 0.5 сек. - 2.0 сек., с шагом 0.02 сек.");
}

int checkStateOfLine(std::uint8_t state)
{
    switch (state) {
    case 0: return Qt::Unchecked;
    case 1: return Qt::Checked;
    default: return Qt::PartiallyChecked;
    }
}

std::uint8_t lineOfCheckState(int checkState)
{
    switch (checkState) {
    case Qt::Unchecked: return 0;
    case Qt::Checked: return 1;
    default: return 255;
    }
}
