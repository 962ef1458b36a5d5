#include "window_twins.h"

#include <rangebar.h>

#include <QAction>
#include <QMenu>
#include <QStatusBar>

namespace screen {

QRect placeOf(const QWidget& window, const char* objectName)
{
    const auto* child = window.findChild<QWidget*>(objectName);
    if (child == nullptr)
        return {};
    return QRect(child->mapTo(&window, QPoint(0, 0)), child->size());
}

namespace {

QRect placeIn(const QWidget& window, const QWidget* child)
{
    return QRect(child->mapTo(&window, QPoint(0, 0)), child->size());
}

}  // namespace

MainWindowTwin::MainWindowTwin() : window_(std::make_unique<CKCTestDlg>(session_, store_))
{
    window_->setAttribute(Qt::WA_DontShowOnScreen);
    window_->show();
}

MainWindowTwin::~MainWindowTwin() = default;

GraphTwin::GraphTwin(graph::GraphKind kind, QSize size) : window_(kind)
{
    window_.setAttribute(Qt::WA_DontShowOnScreen);
    window_.resize(size);
    window_.show();
}

QRect GraphTwin::view() const
{
    return placeIn(window_, window_.view());
}

QRect GraphTwin::temperatureRuler() const
{
    return placeIn(window_, window_.temperatureRuler());
}

QRect GraphTwin::timeRuler() const
{
    return placeIn(window_, window_.timeRuler());
}

QRect GraphTwin::statusBar() const
{
    return placeIn(window_, window_.statusBar());
}

int GraphTwin::menuSteps(int command) const
{
    int steps = 0;
    for (QAction* action : window_.contextMenu()->actions()) {
        if (action->isSeparator() || !action->isVisible())
            continue;
        ++steps;
        if (action->data().toInt() == command)
            return steps;
    }
    return -1;
}

}  // namespace screen
