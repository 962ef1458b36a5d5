#include "child_process.h"

#include "tdf_builder.h"
#include "test_support.h"

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace testing_support {

namespace {

int statusOf(int raw)
{
    return WIFSIGNALED(raw) ? 128 + WTERMSIG(raw) : WEXITSTATUS(raw);
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& args, const std::string& outFile,
                           const std::string& errFile, const std::string& workingDir)
{
    std::vector<std::string> argv = args;
    std::vector<char*> raw;
    for (auto& a : argv)
        raw.push_back(a.data());
    raw.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!workingDir.empty())
        posix_spawn_file_actions_addchdir_np(&actions, workingDir.c_str());
    const int started = ::posix_spawn(&pid_, raw[0], &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start " + args.at(0));
    }
}

ChildProcess::~ChildProcess()
{
    if (pid_ <= 0 || status_)
        return;
    ::kill(pid_, SIGKILL);
    int raw = 0;
    ::waitpid(pid_, &raw, 0);
}

bool ChildProcess::signal(int sig) const
{
    return pid_ > 0 && !status_ && ::kill(pid_, sig) == 0;
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds deadline)
{
    if (!status_) {
        waitFor(
            [this] {
                int raw = 0;
                if (::waitpid(pid_, &raw, WNOHANG) != pid_)
                    return false;
                status_ = statusOf(raw);
                return true;
            },
            deadline);
    }
    return status_;
}

ProgramResult runProgram(const std::vector<std::string>& args, std::chrono::milliseconds deadline)
{
    TempDir dir;
    ProgramResult result;
    {
        ChildProcess child(args, dir.file("out"), dir.file("err"));
        result.status = child.wait(deadline).value_or(-1);
    }
    result.out = readAll(dir.file("out"));
    result.err = readAll(dir.file("err"));
    return result;
}

}  // namespace testing_support
