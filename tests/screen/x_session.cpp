#include "x_session.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace screen {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_support::ChildProcess;
using testing_support::runProgram;
using testing_support::waitFor;

namespace {

bool displayTaken(int number)
{
    std::error_code ec;
    return fs::exists("/tmp/.X11-unix/X" + std::to_string(number), ec) ||
           fs::exists("/tmp/.X" + std::to_string(number) + "-lock", ec);
}

// The pid the server holding the display wrote into its lock file.
pid_t lockHolder(int number)
{
    std::ifstream lock("/tmp/.X" + std::to_string(number) + "-lock");
    pid_t pid = -1;
    lock >> pid;
    return pid;
}

}  // namespace

XSession::XSession()
{
    // Another test may take the same free number at the same moment: the
    // server that loses exits, and the next number is tried.
    for (int number = 90; number < 300 && display_.empty(); ++number) {
        if (displayTaken(number))
            continue;
        const std::string name = ":" + std::to_string(number);
        auto server = std::make_unique<ChildProcess>(
            std::vector<std::string>{KL_XVFB, name, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"},
            logs_.file("xvfb.out"), logs_.file("xvfb.err"));
        const std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
        bool exited = false;
        // Listening, and the display is this server's, not one started at
        // the same moment by another test.
        const bool listening = waitFor(
            [&] {
                exited = server->wait(0ms).has_value();
                std::error_code ec;
                return exited || (fs::exists(socket, ec) && lockHolder(number) == server->pid());
            },
            10s);
        if (!listening || exited)
            continue;
        displayEnv_ = std::make_unique<testing_support::ScopedEnv>("DISPLAY", name);
        if (!waitFor([] { return runProgram({KL_XDOTOOL, "getdisplaygeometry"}, 5s).status == 0; }, 10s))
            throw std::runtime_error("Xvfb on " + name + " takes no clients");
        server_ = std::move(server);
        display_ = name;
    }
    if (display_.empty())
        throw std::runtime_error("no free X display for Xvfb");
    windowManager_ = std::make_unique<ChildProcess>(std::vector<std::string>{KL_OPENBOX, "--sm-disable"},
                                                    logs_.file("openbox.out"), logs_.file("openbox.err"));
    // The window manager is there once it names its check window on the root.
    const bool managed = waitFor(
        [] {
            return runProgram({KL_XPROP, "-root", "_NET_SUPPORTING_WM_CHECK"}, 5s).out.find("window id") !=
                   std::string::npos;
        },
        10s);
    if (!managed)
        throw std::runtime_error("openbox did not start on " + display_);
}

XSession::~XSession()
{
    // Ended by SIGTERM, the server takes its socket and lock file away.
    for (auto* child : {windowManager_.get(), server_.get()}) {
        if (child != nullptr && child->signal(SIGTERM))
            child->wait(5s);
    }
}

}  // namespace screen
