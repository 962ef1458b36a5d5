// Helpers shared by the tests: temporary folders, environment overrides,
// waiting with a deadline, the simulator as a child process, and scripted
// message boxes.
#pragma once

#include "platform/message_box.h"

#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testing_support {

// A fresh folder under the system's temporary folder, removed with its
// content at the end of the scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Sets an environment variable for the scope and restores it afterwards.
class ScopedEnv {
public:
    ScopedEnv(const std::string& name, const std::string& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    bool had_ = false;
    std::string old_;
};

// Polls `condition` until it holds or `deadline` has passed; returns its last value.
bool waitFor(const std::function<bool()>& condition,
             std::chrono::milliseconds deadline = std::chrono::milliseconds(5000));

// kl_sim running as a child process with the given arguments, publishing its
// line in `folder`. The constructor returns once the line is published; the
// destructor stops the simulator and waits for it. With `outputFile` the
// simulator's standard output (what it says about its line and its faults)
// goes to that file.
class SimProcess {
public:
    SimProcess(const std::string& folder, const std::vector<std::string>& args, int comNumber = 1,
               const std::string& outputFile = {});
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool running() const { return pid_ > 0; }
    const std::string& linkPath() const { return link_; }
    // What pulling the adapter out leaves of its entry in the device folder.
    enum class Entry {
        Dangling,  // a link naming a device node that is gone
        Removed,   // nothing
    };
    // Ends the simulator at once with SIGKILL, as an adapter is pulled out:
    // its line hangs up and the entry is left as `entry` says, until a new
    // simulator takes the name.
    void kill(Entry entry = Entry::Dangling);
    // Stops the simulator (SIGSTOP) and lets it go on (SIGCONT): a device
    // that falls silent while its line stays, and speaks again.
    void pause();
    void resume();

private:
    pid_t pid_ = -1;
    std::string link_;
};

// The far end of a pseudo-terminal, played by the test itself: the terminal
// side is published as `folder`/COM<n>, and the test reads and writes the
// other side.
class PtyPeer {
public:
    PtyPeer(const std::string& folder, int comNumber);
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    const std::string& terminalPath() const { return terminal_; }
    // Reads until `count` characters have come or `deadline` has passed.
    std::string read(std::size_t count, std::chrono::milliseconds deadline = std::chrono::milliseconds(3000));
    void write(const std::string& bytes);

private:
    int master_ = -1;
    std::string terminal_;
    std::string link_;
};

// Records every message box and answers from a script (then with the first
// button). Installs itself for its scope.
class ScriptedMessageBoxes {
public:
    ScriptedMessageBoxes();
    ~ScriptedMessageBoxes();
    ScriptedMessageBoxes(const ScriptedMessageBoxes&) = delete;
    ScriptedMessageBoxes& operator=(const ScriptedMessageBoxes&) = delete;

    void answerNext(platform::MessageAnswer answer);
    std::vector<platform::MessageRequest> shown() const;
    // The texts of the boxes shown so far.
    std::vector<std::string> texts() const;

private:
    mutable std::mutex mutex_;
    std::deque<platform::MessageAnswer> script_;
    std::vector<platform::MessageRequest> shown_;
    platform::MessageBoxService previous_;
};

// The frame a QRVX device sends for `value`: ":" D value LRC CR LF, the LRC
// counted here independently of the library.
std::string qrvxFrameOf(long value, bool wrongChecksum = false);

}  // namespace testing_support
