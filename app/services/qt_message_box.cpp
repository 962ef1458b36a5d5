#include "services/qt_message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <QWidget>

namespace {

QMessageBox::Icon iconOf(platform::MessageIcon icon)
{
    switch (icon) {
    case platform::MessageIcon::Error: return QMessageBox::Critical;
    case platform::MessageIcon::Warning: return QMessageBox::Warning;
    case platform::MessageIcon::Question: return QMessageBox::Question;
    case platform::MessageIcon::Information: return QMessageBox::Information;
    case platform::MessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons buttonsOf(platform::MessageButtons buttons)
{
    switch (buttons) {
    case platform::MessageButtons::Ok: return QMessageBox::Ok;
    case platform::MessageButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case platform::MessageButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case platform::MessageButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

platform::MessageAnswer answerOf(int button)
{
    switch (button) {
    case QMessageBox::Yes: return platform::MessageAnswer::Yes;
    case QMessageBox::No: return platform::MessageAnswer::No;
    case QMessageBox::Cancel: return platform::MessageAnswer::Cancel;
    default: return platform::MessageAnswer::Ok;
    }
}

platform::MessageAnswer showHere(const platform::MessageRequest& request)
{
    QMessageBox box(iconOf(request.icon), QString::fromStdString(request.caption),
                    QString::fromStdString(request.text), buttonsOf(request.buttons),
                    static_cast<QWidget*>(request.owner));
    if (!request.detail.empty())
        box.setInformativeText(QString::fromStdString(request.detail));
    return answerOf(box.exec());
}

}  // namespace

platform::MessageAnswer showQtMessageBox(const platform::MessageRequest& request)
{
    if (QThread::currentThread() == qApp->thread())
        return showHere(request);
    platform::MessageAnswer answer = platform::MessageAnswer::Cancel;
    QMetaObject::invokeMethod(qApp, [&] { answer = showHere(request); }, Qt::BlockingQueuedConnection);
    return answer;
}

void installQtMessageBoxes()
{
    platform::setMessageBoxService(showQtMessageBox);
}
