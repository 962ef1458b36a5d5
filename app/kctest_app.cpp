#include "kctest_app.h"

#include "session/device_session.h"
#include "session/qrvx_session.h"
#include "windows/kctest_dlg.h"
#include "windows/qrvx_dlg.h"
#include "services/qsettings_backend.h"

#include "platform/library.h"
#include "platform/message_box.h"

#include <kcmb.h>

#include <QCoreApplication>
#include <QDialog>
#include <QSettings>

#include <cstdlib>

void applySettingsLocation()
{
    QCoreApplication::setOrganizationName("OSTRELAN");
    QCoreApplication::setApplicationName("KL_S");
    if (const char* dir = std::getenv("KL_SETTINGS_DIR"); dir && *dir)
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromLocal8Bit(dir));
}

namespace {

// The main window is modal to its owner alone, and it has none: the graph
// windows, which have no parent either, keep taking the operator's input
// while it runs. Its own sheets are modal to it.
void runMainWindow(QDialog& window)
{
    window.setWindowModality(Qt::WindowModal);
    window.exec();
}

}  // namespace

void CKCTestApp::offerQrvx()
{
    qrvxModule_ = platform::loadLibrary(qrvxLibrary_);
    if (qrvxModule_ == nullptr)
        return;
    // The question names the file that was found, as the operator sees it in its folder.
    std::string found = platform::libraryFile(qrvxModule_);
    found = found.substr(found.rfind('/') + 1);
    if (found.empty())
        found = qrvxLibrary_;
    const auto answer = platform::showMessageBox(
        "Найдена библиотека " + found + ".\n\nИспользовать для взаимодействия протокол QRVX?", "KL_S",
        platform::MessageButtons::YesNo, platform::MessageIcon::Question);
    if (answer != platform::MessageAnswer::Yes)
        unloadQrvx();
}

CKCTestApp::~CKCTestApp()
{
    unloadQrvx();
}

void CKCTestApp::unloadQrvx()
{
    if (qrvxModule_ != nullptr)
        platform::freeLibrary(qrvxModule_);
    qrvxModule_ = nullptr;
}

int CKCTestApp::run(const QString& seriesFile)
{
    if (!KCInit()) {
        platform::showMessageBox("Ошибка инициализации библиотеки доступа KCMB.DLL", "KL_S",
                                 platform::MessageButtons::Ok, platform::MessageIcon::Error);
        return 1;
    }
    offerQrvx();
    if (qrvxModule_ != nullptr) {
        QSettingsBackend top;
        QSettingsBackend qrvx("QRVX");
        QrvxSession session(qrvxModule_);
        CQRVXDlg window(session, top, qrvx);
        runMainWindow(window);
    } else {
        QSettingsBackend store;
        DeviceSession session;
        CKCTestDlg window(session, store);
        if (!seriesFile.isEmpty()) {
            window.show();
            window.showSeriesFile(seriesFile);
        }
        runMainWindow(window);
    }
    unloadQrvx();
    KCClose();
    return 0;
}
