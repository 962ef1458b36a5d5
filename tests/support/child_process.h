// Programs of the suite run as child processes by tests: their standard
// output and error go to files, and the test signals them and waits for
// their end with a deadline.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testing_support {

class ChildProcess {
public:
    // Starts args[0] with the arguments that follow, its standard output and
    // error written to the given files; standard input is empty. With
    // `workingDir` the child starts in that folder.
    ChildProcess(const std::vector<std::string>& args, const std::string& outFile, const std::string& errFile,
                 const std::string& workingDir = {});
    // Kills a child that is still running and waits for it.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    bool signal(int sig) const;
    // The exit status, 128 + the signal for a child ended by one, or nothing
    // when the child still runs at the deadline.
    std::optional<int> wait(std::chrono::milliseconds deadline);

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

struct ProgramResult {
    int status = -1;  // as ChildProcess::wait gives it; -1 when the deadline passed
    std::string out;
    std::string err;
};

// Runs a program to its end (killed at the deadline) with its output captured.
ProgramResult runProgram(const std::vector<std::string>& args,
                         std::chrono::milliseconds deadline = std::chrono::seconds(30));

}  // namespace testing_support
