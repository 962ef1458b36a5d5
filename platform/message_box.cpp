#include "platform/message_box.h"

#include <cstdio>
#include <mutex>

namespace platform {

namespace {

std::mutex& serviceMutex()
{
    static std::mutex m;
    return m;
}

MessageBoxService& installed()
{
    static MessageBoxService s;
    return s;
}

MessageAnswer firstButton(MessageButtons buttons)
{
    return buttons == MessageButtons::Ok || buttons == MessageButtons::OkCancel ? MessageAnswer::Ok
                                                                                : MessageAnswer::Yes;
}

}  // namespace

MessageBoxService setMessageBoxService(MessageBoxService service)
{
    std::lock_guard<std::mutex> lock(serviceMutex());
    std::swap(installed(), service);
    return service;
}

MessageAnswer showMessageBox(const MessageRequest& request)
{
    MessageBoxService service;
    {
        std::lock_guard<std::mutex> lock(serviceMutex());
        service = installed();
    }
    if (service)
        return service(request);
    std::fprintf(stderr, "%s: %s%s%s\n", request.caption.c_str(), request.text.c_str(),
                 request.detail.empty() ? "" : " ", request.detail.c_str());
    return firstButton(request.buttons);
}

MessageAnswer showMessageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                             MessageIcon icon, void* owner)
{
    return showMessageBox(MessageRequest{text, caption, buttons, icon, owner, {}});
}

}  // namespace platform
