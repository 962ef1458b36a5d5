// kl_s: the operator's program for digital infrared pyrometers.
#include "kctest_app.h"
#include "qt_message_box.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    installQtMessageBoxes();
    applySettingsLocation();
    CKCTestApp program;
    return program.run();
}
