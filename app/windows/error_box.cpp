#include "windows/error_box.h"

#include "platform/message_box.h"

void showErrorBox(QWidget* owner, const char* text, const std::string& detail)
{
    platform::MessageRequest request;
    request.text = text;
    request.detail = detail;
    request.caption = "Ошибка";
    request.icon = platform::MessageIcon::Error;
    request.owner = owner;
    platform::showMessageBox(request);
}
