// The real kl_s on the tests' X server, with a settings folder, a device
// folder and a working folder of its own, and simulated devices on its lines.
// The test drives it with input events only.
#pragma once

#include "child_process.h"
#include "screen_input.h"
#include "test_support.h"

#include <QSettings>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace screen {

class ScreenTest : public ::testing::Test {
protected:
    ScreenTest();

    // kl_sim on COM<n> playing `devices` (each a --device key list).
    void startSimulator(const std::vector<std::string>& devices, int comNumber = 1,
                        const std::vector<std::string>& options = {});
    enum class Protocol { Modbus, Qrvx };
    // Starts kl_s and answers its question whether to use the second
    // protocol, whose library lies beside the link library in the build tree:
    // No for the Modbus window, Yes for the QRVX window. The question's
    // window is gone when this returns.
    void startProgram(Protocol protocol = Protocol::Modbus);
    // kl_s's main window, once it is mapped.
    WindowId waitForMainWindow();
    // Escape on the main window, then Yes to the quit question; true when the
    // program ended by itself with status 0.
    bool quitThroughTheQuestion(WindowId mainWindow);

    pid_t pid() const { return program_ ? program_->pid() : -1; }
    std::string workFile(const std::string& name) const { return dir_.path() + "/work/" + name; }
    // The settings kl_s wrote.
    QSettings storedSettings() const;
    // The files of the working folder whose names start with `prefix`.
    std::vector<std::string> workFiles(const std::string& prefix) const;

    testing_support::TempDir dir_;
    testing_support::ScopedEnv devices_;
    testing_support::ScopedEnv settings_;
    std::vector<std::unique_ptr<testing_support::SimProcess>> simulators_;
    WindowId question_ = 0;
    std::unique_ptr<testing_support::ChildProcess> program_;
};

}  // namespace screen
