// Private window messages between the program's windows and from its worker
// threads. Each keeps its number and travels as a Qt event carrying
// (message, wParam, lParam); sendMessage delivers at once on the calling
// thread, postMessage queues and may be called from any thread.
#pragma once

#include <QEvent>

#include <cstdint>

class QObject;

constexpr unsigned WM_USER = 0x0400;
// The graph windows of the main windows (sent unless stated):
// +201 value bounds (wParam: makeWordPair(low, high)) and series (lParam);
// +202 largest visible time span in ms (wParam, 0 = no limit);
// +203 posted for each reading: value (wParam), ms since the start (lParam);
// +207 from a graph window to its owner when the user closes it: its kind;
// +208 value bounds as two numbers (wParam low, lParam high);
// +209 the series (wParam).
constexpr unsigned WM_GRAPH_SETDATA = WM_USER + 201;
constexpr unsigned WM_GRAPH_SETSPAN = WM_USER + 202;
constexpr unsigned WM_GRAPH_NEWVALUE = WM_USER + 203;
constexpr unsigned WM_GRAPH_CLOSED = WM_USER + 207;
constexpr unsigned WM_GRAPH_SETLIMITS = WM_USER + 208;
constexpr unsigned WM_GRAPH_SETSERIES = WM_USER + 209;

// Two unsigned 16-bit numbers in one parameter, low word first.
constexpr std::uintptr_t makeWordPair(std::uint16_t low, std::uint16_t high)
{
    return static_cast<std::uintptr_t>(low) | (static_cast<std::uintptr_t>(high) << 16);
}
constexpr std::uint16_t lowWord(std::uintptr_t value)
{
    return static_cast<std::uint16_t>(value & 0xFFFF);
}
constexpr std::uint16_t highWord(std::uintptr_t value)
{
    return static_cast<std::uint16_t>((value >> 16) & 0xFFFF);
}

class WindowMessageEvent : public QEvent {
public:
    static QEvent::Type eventType();

    WindowMessageEvent(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

    unsigned message() const { return message_; }
    std::uintptr_t wParam() const { return wParam_; }
    std::intptr_t lParam() const { return lParam_; }

private:
    unsigned message_;
    std::uintptr_t wParam_;
    std::intptr_t lParam_;
};

// Delivers the message to `target` before returning; call it on target's thread.
void sendMessage(QObject* target, unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
// Queues the message for `target`'s thread; safe from any thread.
void postMessage(QObject* target, unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
