// Private window messages between the program's windows and from its worker
// threads. Each keeps its number and travels as a Qt event carrying
// (message, wParam, lParam); sendMessage delivers at once on the calling
// thread, postMessage queues and may be called from any thread.
#pragma once

#include <QEvent>

#include <cstdint>

class QObject;

constexpr unsigned WM_USER = 0x0400;
// Worker notifications of the Modbus main window: wParam is the code.
constexpr unsigned WM_KC_NOTIFY = WM_USER + 100;
// The graph windows of the main windows.
constexpr unsigned WM_GRAPH_SETDATA = WM_USER + 201;
constexpr unsigned WM_GRAPH_SETSPAN = WM_USER + 202;
constexpr unsigned WM_GRAPH_NEWVALUE = WM_USER + 203;
constexpr unsigned WM_GRAPH_CLOSED = WM_USER + 207;

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
