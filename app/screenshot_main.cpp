// kl_s_screenshot: starts the main window offscreen, connects to the device
// on the configured port (COM1 by default), opens the temperature graph,
// waits for readings and saves a picture of both windows side by side. Used
// to keep the README's picture true.
#include "session/device_session.h"
#include "windows/kctest_dlg.h"
#include "services/qsettings_backend.h"
#include "kctest_app.h"

#include <kcmb.h>

#include "graph/graph_wnd.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QPushButton>
#include <QThread>

#include <cstdio>
#include <functional>

namespace {

// Runs the event loop until the condition holds or 30 s have passed.
bool waitUntil(const std::function<bool()>& condition)
{
    QElapsedTimer waited;
    waited.start();
    while (!condition() && waited.elapsed() < 30000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return condition();
}

CGraphWnd* shownGraph()
{
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* graph = qobject_cast<CGraphWnd*>(window); graph && graph->isVisible())
            return graph;
    return nullptr;
}

// The main window with the graph window to its right, on the ground of a
// desktop.
QImage sideBySide(QWidget& main, QWidget& graph)
{
    constexpr int margin = 12;
    const QPixmap left = main.grab();
    const QPixmap right = graph.grab();
    QImage picture(left.width() + right.width() + 3 * margin,
                   std::max(left.height(), right.height()) + 2 * margin, QImage::Format_RGB32);
    picture.fill(QColor(0x5a, 0x6e, 0x82));
    QPainter painter(&picture);
    painter.drawPixmap(margin, margin, left);
    painter.drawPixmap(left.width() + 2 * margin, margin, right);
    return picture;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: kl_s_screenshot OUTPUT.png\n");
        return 2;
    }
    QApplication application(argc, argv);
    applySettingsLocation();
    if (!KCInit()) {
        std::fprintf(stderr, "kl_s_screenshot: no COM port in the device folder\n");
        return 1;
    }
    int result = 1;
    {
        QSettingsBackend store;
        DeviceSession session;
        CKCTestDlg window(session, store);
        window.show();
        window.findChild<QPushButton*>("connectButton")->click();
        const auto readings = [&session]() -> long { return session.series() ? session.series()->GetCount() : 0; };
        CGraphWnd* graph = nullptr;
        if (waitUntil([&] { return readings() >= 5; })) {
            window.findChild<QPushButton*>("graphButton")->click();
            graph = shownGraph();
        }
        // The graph as a person widens it beside the main window, with a
        // few seconds of readings in it.
        if (graph != nullptr) {
            graph->resize(560, window.height());
            const long shown = readings();
            waitUntil([&] { return readings() >= shown + 20; });
        }
        if (graph != nullptr && sideBySide(window, *graph).save(argv[1]))
            result = 0;
        else
            std::fprintf(stderr, "kl_s_screenshot: no readings from the device, no picture\n");
    }
    KCClose();
    return result;
}
