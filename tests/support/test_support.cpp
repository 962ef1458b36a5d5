// The parts of the test support that every system builds: waiting with a
// deadline, scripted message boxes and QRVX frames.
#include "test_support.h"

#include <thread>

namespace testing_support {

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds deadline)
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end)
            return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

ScriptedMessageBoxes::ScriptedMessageBoxes()
{
    previous_ = platform::setMessageBoxService([this](const platform::MessageRequest& request) {
        std::lock_guard<std::mutex> lock(mutex_);
        shown_.push_back(request);
        if (!script_.empty()) {
            const auto answer = script_.front();
            script_.pop_front();
            return answer;
        }
        return request.buttons == platform::MessageButtons::Ok || request.buttons == platform::MessageButtons::OkCancel
            ? platform::MessageAnswer::Ok
            : platform::MessageAnswer::Yes;
    });
}

ScriptedMessageBoxes::~ScriptedMessageBoxes()
{
    platform::setMessageBoxService(previous_);
}

void ScriptedMessageBoxes::answerNext(platform::MessageAnswer answer)
{
    std::lock_guard<std::mutex> lock(mutex_);
    script_.push_back(answer);
}

std::vector<platform::MessageRequest> ScriptedMessageBoxes::shown() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return shown_;
}

std::vector<std::string> ScriptedMessageBoxes::texts() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> texts;
    for (const auto& r : shown_)
        texts.push_back(r.text);
    return texts;
}

std::string qrvxFrameOf(long value, bool wrongChecksum)
{
    const std::string digits = std::to_string(value);
    unsigned sum = 0;
    for (char c : digits)
        sum += static_cast<unsigned char>(c);
    unsigned lrc = (0x100 - (sum & 0xFF)) & 0xFF;
    if (wrongChecksum)
        lrc = (lrc + 1) & 0xFF;
    return ":" + std::to_string(digits.size()) + digits + std::to_string(lrc) + "\r\n";
}

}  // namespace testing_support
