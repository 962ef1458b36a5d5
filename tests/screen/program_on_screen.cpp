#include "program_on_screen.h"

#include <filesystem>

namespace screen {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

ScreenTest::ScreenTest()
    : devices_("KL_DEVICE_DIR", dir_.file("devices")), settings_("KL_SETTINGS_DIR", dir_.file("settings"))
{
    fs::create_directories(dir_.file("devices"));
    fs::create_directories(dir_.file("settings"));
    fs::create_directories(dir_.file("work"));
}

void ScreenTest::startSimulator(const std::vector<std::string>& devices, int comNumber,
                                const std::vector<std::string>& options)
{
    std::vector<std::string> args = options;
    for (const std::string& device : devices) {
        args.push_back("--device");
        args.push_back(device);
    }
    simulators_.push_back(std::make_unique<testing_support::SimProcess>(
        dir_.file("devices"), args, comNumber, dir_.file("sim" + std::to_string(comNumber) + ".out")));
}

void ScreenTest::startProgram(Protocol protocol)
{
    program_ = std::make_unique<testing_support::ChildProcess>(std::vector<std::string>{KL_S_PATH},
                                                               dir_.file("kl_s.out"), dir_.file("kl_s.err"),
                                                               dir_.file("work"));
    question_ = waitForWindow(pid(), "KL_S");
    ASSERT_NE(question_, 0u) << "no question about the QRVX library";
    activate(question_);
    if (protocol == Protocol::Qrvx) {
        key("Return");
    } else {
        key("Tab");
        key("space");
    }
    ASSERT_TRUE(testing_support::waitFor([&] {
        for (const TopWindow& window : windowsOf(pid()))
            if (window.id == question_)
                return false;
        return true;
    })) << "the question stayed";
}

WindowId ScreenTest::waitForMainWindow()
{
    WindowId window = 0;
    testing_support::waitFor([&] {
        for (const TopWindow& shown : windowsOf(pid()))
            if (shown.title == "KL_S" && shown.id != question_)
                window = shown.id;
        return window != 0;
    });
    if (window != 0)
        activate(window);
    return window;
}

bool ScreenTest::quitThroughTheQuestion(WindowId mainWindow)
{
    activate(mainWindow);
    key("Escape");
    const WindowId question = waitForWindow(pid(), "Завершение работы");
    if (question == 0)
        return false;
    activate(question);
    key("Return");
    const auto status = program_->wait(15s);
    return status && *status == 0;
}

QSettings ScreenTest::storedSettings() const
{
    return QSettings(QString::fromStdString(dir_.file("settings/OSTRELAN/KL_S.ini")), QSettings::IniFormat);
}

std::vector<std::string> ScreenTest::workFiles(const std::string& prefix) const
{
    std::vector<std::string> files;
    for (const auto& entry : fs::directory_iterator(dir_.file("work")))
        if (entry.path().filename().string().rfind(prefix, 0) == 0)
            files.push_back(entry.path().string());
    return files;
}

}  // namespace screen
