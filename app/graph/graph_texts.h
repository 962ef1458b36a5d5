// The texts of the graph window and its view (UTF-8). Values are shown with
// their sign: a value window may reach below zero (the quantum graph's range
// starts at -10), and an unsigned format would show such a value as a number
// near four thousand million.
#pragma once

#include "graph/graph_kind.h"

#include <kcmb.h>

#include <string>

namespace graph {

// Status bar panes: 0 the value and 1 the time under the mouse, 2 the value
// range, 3 the time range. Each pane is as wide as its sizing text, which it
// shows until it is first written.
constexpr int kPaneCount = 4;
const char* paneSizingText(int pane);

// Pane 0: "Температура %ld °С" (Cyrillic Es after the degree sign), or
// "Квант %ld" in a quantum graph.
std::string valuePaneText(GraphKind kind, long value);
// Pane 1: "Время %s".
std::string timePaneText(const std::string& timeText);
// Pane 2: "Min %ld °C - Max %ld °C", in both kinds.
std::string valueRangePaneText(long min, long max);
// Pane 3: "Время от начала опроса %s - %s" with the elapsed-time texts.
std::string timeRangePaneText(long min, long max);

// The latest reading in the corner square: "%li °C" or "Кв. %li".
std::string cornerText(GraphKind kind, long value);

// The tooltip over the view for the first record at or after the time under
// the mouse; `timeText` is the text of that time, `eCoeff` the series'
// emissivity divisor.
std::string tooltipText(GraphKind kind, const v4TermData& record, const std::string& timeText, double eCoeff);

}  // namespace graph
