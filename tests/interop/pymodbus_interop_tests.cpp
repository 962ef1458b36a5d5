// The device link library against a Modbus ASCII server of another project
// (pymodbus), joined by a pseudo-terminal pair that socat makes.
#include <kcmb.h>

#include "test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <filesystem>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::waitFor;

namespace {

// A child process, ended with SIGTERM when it goes out of scope.
class Child {
public:
    explicit Child(std::vector<std::string> argv)
    {
        std::vector<char*> raw;
        for (auto& a : argv)
            raw.push_back(a.data());
        raw.push_back(nullptr);
        if (::posix_spawn(&pid_, raw[0], nullptr, nullptr, raw.data(), environ) != 0)
            throw std::runtime_error("cannot start " + argv[0]);
    }
    ~Child()
    {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool exited() const
    {
        int status = 0;
        return ::waitpid(pid_, &status, WNOHANG) == pid_;
    }

private:
    pid_t pid_ = -1;
};

// The server listens on one end of the pair; the other end is COM5 in the
// test's device folder. Register i holds 0x1000 + i for i < 100.
class PymodbusInteropTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string lib = dir.file("lib");
        const std::string srv = dir.file("srv");
        socat = std::make_unique<Child>(std::vector<std::string>{
            KL_SOCAT, "pty,raw,echo=0,link=" + lib, "pty,raw,echo=0,link=" + srv});
        ASSERT_TRUE(waitFor([&] { return fs::exists(lib) && fs::exists(srv); })) << "socat made no pty pair";

        const std::string ready = dir.file("ready");
        server = std::make_unique<Child>(std::vector<std::string>{
            KL_DEBIAN_PYTHON, KL_INTEROP_SERVER, "--port", srv, "--unit", "1", "--ready", ready, "--turnaround-ms", "30"});
        // The interpreter and pymodbus take a while to load on a busy machine.
        ASSERT_TRUE(waitFor([&] { return fs::exists(ready) || server->exited(); }, std::chrono::seconds(30)));
        ASSERT_TRUE(fs::exists(ready)) << "the pymodbus server did not start";

        fs::create_directories(dir.file("devices"));
        fs::create_symlink(fs::read_symlink(lib), dir.file("devices/COM5"));
        ASSERT_TRUE(KCInit());
        HandleGuard guard = KCOpenPort("COM5", 5);
        ASSERT_TRUE(platform::isUsableHandle(guard.get()));
        port = guard.release();
        KCSetTimeOut(port, 1000);
    }
    void TearDown() override
    {
        if (port)
            KCClosePort(port);
        KCClose();
    }

    TempDir dir;
    ScopedEnv env{"KL_DEVICE_DIR", dir.file("devices")};
    std::unique_ptr<Child> socat;
    std::unique_ptr<Child> server;
    void* port = nullptr;
};

TEST_F(PymodbusInteropTest, ReadsRegisters)
{
    std::array<unsigned short, 10> words{};
    ASSERT_EQ(readWords(port, 1, 0, words.data(), 10), 0);
    for (unsigned short i = 0; i < 10; ++i)
        EXPECT_EQ(words[i], 0x1000 + i);
    ASSERT_EQ(readWords(port, 1, 95, words.data(), 5), 0);
    EXPECT_EQ(words[4], 0x1000 + 99);
}

TEST_F(PymodbusInteropTest, WrittenWordsReadBack)
{
    unsigned short words[3] = {0x0102, 0xA0B0, 42};
    ASSERT_EQ(writeWords(port, 1, 20, words, 3), 0);
    EXPECT_EQ(words[0], 0x0201) << "left in line order";
    unsigned short readBack[3] = {};
    ASSERT_EQ(readWords(port, 1, 20, readBack, 3), 0);
    EXPECT_EQ(readBack[0], 0x0102);
    EXPECT_EQ(readBack[1], 0xA0B0);
    EXPECT_EQ(readBack[2], 42);
}

TEST_F(PymodbusInteropTest, ExceptionRepliesGiveTheirCodes)
{
    unsigned short words[124] = {};
    EXPECT_EQ(readWords(port, 1, 100, words, 1), 2) << "no such register";
    EXPECT_EQ(readWords(port, 1, 0, words, 0), 3) << "no words asked for";
    EXPECT_EQ(writeWords(port, 1, 99, words, 2), 2) << "past the last register";
    // A request of the full 255 bytes travels; the server allows 123 words.
    EXPECT_EQ(writeWords(port, 1, 0, words, 124), 3);
    ASSERT_EQ(readWords(port, 1, 0, words, 1), 0) << "the server still answers";
    EXPECT_EQ(words[0], 0x1000);
}

TEST_F(PymodbusInteropTest, TheStatusRequestIsAnswered)
{
    unsigned short status = 0xFFFF;
    ASSERT_EQ(readException(port, 1, &status), 0);
    EXPECT_EQ(status, 0);
}

TEST_F(PymodbusInteropTest, AnotherAddressGetsNoAnswer)
{
    KCSetTimeOut(port, 200);
    unsigned short words[1] = {};
    EXPECT_EQ(readWords(port, 2, 0, words, 1), 7);
    ASSERT_EQ(readWords(port, 1, 0, words, 1), 0);
}

}  // namespace
