// The one channel through which the libraries and the program speak to the
// operator. The program installs a service that shows real boxes; tests
// install one that records the requests and answers as scripted; without a
// service the text goes to standard error and the first button is the answer.
#pragma once

#include <functional>
#include <string>

namespace platform {

enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageIcon { None, Error, Warning, Question, Information };
enum class MessageAnswer { Ok, Cancel, Yes, No };

struct MessageRequest {
    std::string text;
    std::string caption;
    MessageButtons buttons = MessageButtons::Ok;
    MessageIcon icon = MessageIcon::None;
    // The window the box belongs to, or null for none; opaque to this layer.
    void* owner = nullptr;
    // Said below the text, when not empty: why, or what to do.
    std::string detail;
};

using MessageBoxService = std::function<MessageAnswer(const MessageRequest&)>;

// Installs the service (an empty one restores the standard-error fallback) and
// returns the one it replaces.
MessageBoxService setMessageBoxService(MessageBoxService service);

// Shows a box through the installed service, from any thread, and returns the
// operator's answer. The service decides how a box asked for by a worker
// thread reaches the user-interface thread.
MessageAnswer showMessageBox(const MessageRequest& request);

MessageAnswer showMessageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                             MessageIcon icon, void* owner = nullptr);

}  // namespace platform
