#include "services/window_messages.h"

#include <QCoreApplication>

QEvent::Type WindowMessageEvent::eventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

WindowMessageEvent::WindowMessageEvent(unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
    : QEvent(eventType()), message_(message), wParam_(wParam), lParam_(lParam)
{
}

void sendMessage(QObject* target, unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
{
    WindowMessageEvent event(message, wParam, lParam);
    QCoreApplication::sendEvent(target, &event);
}

void postMessage(QObject* target, unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
{
    QCoreApplication::postEvent(target, new WindowMessageEvent(message, wParam, lParam));
}
