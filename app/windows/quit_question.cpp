#include "windows/quit_question.h"

#include "platform/message_box.h"

bool operatorConfirmsQuit(QWidget* parent)
{
    return platform::showMessageBox("Вы действительно желаете завершить работу?", "Завершение работы",
                                    platform::MessageButtons::YesNo, platform::MessageIcon::Question, parent)
        == platform::MessageAnswer::Yes;
}
