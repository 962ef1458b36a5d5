// kl_s_screenshot: starts the main window offscreen, connects to the device
// on the configured port (COM1 by default), waits for a few readings and
// saves a picture of the window. Used to keep the README's picture true.
#include "device_session.h"
#include "kctest_dlg.h"
#include "qsettings_backend.h"
#include "kctest_app.h"

#include <kcmb.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QThread>

#include <cstdio>

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
        QElapsedTimer waited;
        waited.start();
        while (session.series() && session.series()->GetCount() < 5 && waited.elapsed() < 30000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(5);
        }
        if (session.series() && session.series()->GetCount() >= 5 && window.grab().save(argv[1]))
            result = 0;
        else
            std::fprintf(stderr, "kl_s_screenshot: no readings from the device, no picture\n");
    }
    KCClose();
    return result;
}
