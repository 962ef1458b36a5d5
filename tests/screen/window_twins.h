// Twins of the program's windows, laid out (never mapped) by the test's own
// QApplication on the same X server, with the same fonts and style: a
// control's place in a twin of the same size is its place in the program's
// window. The windows have fixed forms, so this is where a person finds them.
#pragma once

#include "app_test_support.h"
#include "settings/dev_config.h"
#include "settings/device_find.h"
#include "session/device_session.h"
#include "graph/graph_kind.h"
#include "graph/graph_wnd.h"
#include "windows/kctest_dlg.h"
#include "windows/qrvx_dlg.h"

#include <QPoint>
#include <QRect>
#include <QSize>

#include <memory>

namespace screen {

// The rectangle of the child `objectName` in `window`'s coordinates.
QRect placeOf(const QWidget& window, const char* objectName);

class MainWindowTwin {
public:
    MainWindowTwin();
    ~MainWindowTwin();
    QPoint centreOf(const char* objectName) const { return placeOf(objectName).center(); }
    QRect placeOf(const char* objectName) const { return screen::placeOf(*window_, objectName); }

private:
    MemorySettings store_;
    DeviceSession session_;
    std::unique_ptr<CKCTestDlg> window_;
};

// The settings sheet as it opens without a device: the pages "Связь" and
// "Программа".
class SettingsSheetTwin {
public:
    SettingsSheetTwin();
    QPoint tabCentre(const QString& title) const;
    // The child's centre with the page of that title in front.
    QPoint centreOf(const char* objectName, const QString& page);

private:
    int pageIndex(const QString& title) const;
    CDevConfig sheet_;
};

// The dialog "Поиск прибора" as it opens.
class DeviceFindTwin {
public:
    DeviceFindTwin();
    QPoint centreOf(const char* objectName) const { return placeOf(objectName).center(); }
    QRect placeOf(const char* objectName) const { return screen::placeOf(dialog_, objectName); }
    bool quickSearchChecked() const;

private:
    CDeviceFind dialog_;
};

// The QRVX window on the loaded second-protocol library.
class QrvxWindowTwin {
public:
    explicit QrvxWindowTwin(void* qrvxModule);
    ~QrvxWindowTwin();
    QPoint centreOf(const char* objectName) const { return placeOf(objectName).center(); }
    QRect placeOf(const char* objectName) const { return screen::placeOf(*window_, objectName); }

private:
    MemorySettings top_;
    MemorySettings qrvx_;
    QrvxSession session_;
    std::unique_ptr<CQRVXDlg> window_;
};

class GraphTwin {
public:
    // A graph window of `kind` at the size of the program's.
    GraphTwin(graph::GraphKind kind, QSize size);
    QRect view() const;
    QRect temperatureRuler() const;
    QRect timeRuler() const;
    QRect statusBar() const;
    // How many times Down selects the context menu's entry of `command`.
    int menuSteps(int command) const;

private:
    CGraphWnd window_;
};

}  // namespace screen
