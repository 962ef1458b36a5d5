// kl_s: the operator's program for digital infrared pyrometers.
#include "kctest_app.h"
#include "services/qt_message_box.h"
#include "services/translations.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    installQtTranslations(application);
    installQtMessageBoxes();
    applySettingsLocation();
    // kl_s FILE.tdf shows a saved series in the graph without a device.
    const QStringList arguments = QCoreApplication::arguments();
    CKCTestApp program;
    return program.run(arguments.size() > 1 ? arguments.at(1) : QString());
}
