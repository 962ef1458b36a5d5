#include "graph/graph_texts.h"

#include "range_format.h"
#include "graph/text_format.h"

namespace graph {

const char* paneSizingText(int pane)
{
    static const char* const texts[kPaneCount] = {
        "Температура 0000 °С ",
        "Время 00:00:00.000 сек",
        "Min 0000 °C - Max 0000 °C",
        "Время от начала опроса 00:00:00.000 сек - 00:00:00.000 сек",
    };
    return pane >= 0 && pane < kPaneCount ? texts[pane] : "";
}

std::string valuePaneText(GraphKind kind, long value)
{
    if (kind == GraphKind::Quantum)
        return cformat("Квант %ld", value);
    return cformat("Температура %ld °С", value);
}

std::string timePaneText(const std::string& timeText)
{
    return cformat("Время %s", timeText.c_str());
}

std::string valueRangePaneText(long min, long max)
{
    return cformat("Min %ld °C - Max %ld °C", min, max);
}

std::string timeRangePaneText(long min, long max)
{
    return cformat("Время от начала опроса %s - %s", rangebar::formatOutTime(min).c_str(),
                   rangebar::formatOutTime(max).c_str());
}

std::string cornerText(GraphKind kind, long value)
{
    if (kind == GraphKind::Quantum)
        return cformat("Кв. %li", value);
    return cformat("%li °C", value);
}

std::string tooltipText(GraphKind kind, const v4TermData& record, const std::string& timeText, double eCoeff)
{
    const double emissivity = record.emissivity / eCoeff;
    if (kind == GraphKind::Quantum)
        return cformat("Квант=%d (%d °C), Время=%s, Степень черноты=%0.2f", record.quantum, record.temperature,
                       timeText.c_str(), emissivity);
    return cformat("Температура=%d, Время=%s, Степень черноты=%0.2f", record.temperature, timeText.c_str(),
                   emissivity);
}

}  // namespace graph
