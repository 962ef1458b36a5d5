#include "settings/settings_page.h"

#include "platform/message_box.h"

#include <QLineEdit>

void reportProblem(const PageProblem& problem, QWidget* owner)
{
    platform::showMessageBox(problem.message.toStdString(), "Ошибка", platform::MessageButtons::Ok,
                             platform::MessageIcon::Warning, owner);
    if (problem.field == nullptr)
        return;
    problem.field->setFocus(Qt::OtherFocusReason);
    problem.field->selectAll();
}
