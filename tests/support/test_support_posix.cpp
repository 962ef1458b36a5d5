// The parts of the test support that need POSIX: temporary folders and the
// environment, the simulator as a child process, pseudo-terminal peers.
#include "test_support.h"

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace testing_support {

namespace fs = std::filesystem;

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "kl_test_XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary folder");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

ScopedEnv::ScopedEnv(const std::string& name, const std::string& value) : name_(name)
{
    if (const char* old = std::getenv(name.c_str())) {
        had_ = true;
        old_ = old;
    }
    ::setenv(name.c_str(), value.c_str(), 1);
}

ScopedEnv::~ScopedEnv()
{
    if (had_)
        ::setenv(name_.c_str(), old_.c_str(), 1);
    else
        ::unsetenv(name_.c_str());
}

SimProcess::SimProcess(const std::string& folder, const std::vector<std::string>& args, int comNumber,
                       const std::string& outputFile)
    : link_(folder + "/COM" + std::to_string(comNumber))
{
    std::vector<std::string> argv = {KL_SIM_PATH, "--dir", folder, "--com", std::to_string(comNumber)};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (auto& a : argv)
        raw.push_back(a.data());
    raw.push_back(nullptr);
    std::error_code ec;
    fs::remove(link_, ec);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!outputFile.empty())
        posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int started = ::posix_spawn(&pid_, KL_SIM_PATH, &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start kl_sim");
    }
    const bool published = waitFor([&] {
        std::error_code e;
        return fs::is_symlink(link_, e);
    });
    if (!published)
        throw std::runtime_error("kl_sim did not publish " + link_);
}

SimProcess::~SimProcess()
{
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGTERM);
    // A paused simulator takes the signal once it goes on.
    ::kill(pid_, SIGCONT);
    int status = 0;
    ::waitpid(pid_, &status, 0);
}

void SimProcess::pause()
{
    if (pid_ > 0)
        ::kill(pid_, SIGSTOP);
}

void SimProcess::resume()
{
    if (pid_ > 0)
        ::kill(pid_, SIGCONT);
}

void SimProcess::kill(Entry entry)
{
    if (pid_ <= 0)
        return;
    // The device node goes first, as when an adapter is pulled out: the
    // entry names nothing any more. Left naming the terminal, it could lead a
    // program waiting for the port to the next pseudo-terminal of that
    // number, which another test may well open.
    const std::string gone = link_ + ".gone";
    std::error_code ec;
    fs::remove(gone, ec);
    fs::create_symlink(link_ + ".unplugged", gone, ec);
    fs::rename(gone, link_, ec);
    if (entry == Entry::Removed)
        fs::remove(link_, ec);
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
}

PtyPeer::PtyPeer(const std::string& folder, int comNumber)
    : link_(folder + "/COM" + std::to_string(comNumber))
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        throw std::runtime_error("cannot open a pseudo-terminal");
    terminal_ = ::ptsname(master_);
    std::error_code ec;
    fs::create_directories(folder, ec);
    fs::remove(link_, ec);
    fs::create_symlink(terminal_, link_, ec);
    if (ec)
        throw std::runtime_error("cannot publish " + link_);
}

PtyPeer::~PtyPeer()
{
    std::error_code ec;
    fs::remove(link_, ec);
    ::close(master_);
}

std::string PtyPeer::read(std::size_t count, std::chrono::milliseconds deadline)
{
    const auto end = std::chrono::steady_clock::now() + deadline;
    std::string got;
    while (got.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0 || !(p.revents & POLLIN))
            break;
        char buffer[256];
        const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - got.size()));
        if (n <= 0)
            break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

void PtyPeer::write(const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace testing_support
