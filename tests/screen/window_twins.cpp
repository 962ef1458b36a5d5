#include "window_twins.h"

#include <rangebar.h>

#include <QAction>
#include <QCheckBox>
#include <QMenu>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>

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

SettingsSheetTwin::SettingsSheetTwin() : sheet_(SheetValues{}, nullptr)
{
    sheet_.setAttribute(Qt::WA_DontShowOnScreen);
    sheet_.show();
}

int SettingsSheetTwin::pageIndex(const QString& title) const
{
    const auto* pages = sheet_.findChild<QTabWidget*>("pages");
    for (int k = 0; k < pages->count(); ++k)
        if (pages->tabText(k) == title)
            return k;
    return -1;
}

QPoint SettingsSheetTwin::tabCentre(const QString& title) const
{
    const QTabBar* tabs = sheet_.findChild<QTabWidget*>("pages")->tabBar();
    return tabs->mapTo(&sheet_, tabs->tabRect(pageIndex(title)).center());
}

QPoint SettingsSheetTwin::centreOf(const char* objectName, const QString& page)
{
    auto* pages = sheet_.findChild<QTabWidget*>("pages");
    // Without the checks a page makes before it is left: the twin only shows.
    const QSignalBlocker quiet(pages);
    pages->setCurrentIndex(pageIndex(page));
    return placeOf(sheet_, objectName).center();
}

DeviceFindTwin::DeviceFindTwin() : dialog_("COM1")
{
    dialog_.setAttribute(Qt::WA_DontShowOnScreen);
    dialog_.show();
}

bool DeviceFindTwin::quickSearchChecked() const
{
    return dialog_.findChild<QCheckBox*>("quickCheck")->isChecked();
}

QrvxWindowTwin::QrvxWindowTwin(void* qrvxModule)
    : session_(qrvxModule), window_(std::make_unique<CQRVXDlg>(session_, top_, qrvx_))
{
    window_->setAttribute(Qt::WA_DontShowOnScreen);
    window_->show();
}

QrvxWindowTwin::~QrvxWindowTwin() = default;

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
