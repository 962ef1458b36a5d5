// The tuning is read when the library is loaded: a process started with a
// tuning file sees its values even after the file has become unreadable.
#include "qrvx_test_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

int runProbe(const std::string& configFolder, const std::string& logFolder)
{
    testing_support::ScopedEnv config("KL_SYSTEM_CONFIG_DIR", configFolder);
    std::string path = KL_QRVX_LOAD_PROBE;
    std::string folder = logFolder;
    char* argv[] = {path.data(), folder.data(), nullptr};
    pid_t pid = 0;
    if (::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ) != 0)
        return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(TuningAtLoad, ValuesOfTheFileAtLoadStayWhenLaterReadsFindNothing)
{
    testing_support::TempDir dir;
    {
        qrvx_test::TuningFile tuning(dir.path());
        tuning.write({"ZeroWaitTime=321"});
    }
    ASSERT_EQ(runProbe(dir.path(), dir.path()), 0);
    EXPECT_NE(qrvx_test::readFile(dir.file("qrvx.log")).find("\t timeout = 321\n"), std::string::npos);
}

TEST(TuningAtLoad, DefaultsWithoutAFile)
{
    testing_support::TempDir dir;
    ASSERT_EQ(runProbe(dir.path(), dir.path()), 0);
    EXPECT_NE(qrvx_test::readFile(dir.file("qrvx.log")).find("\t timeout = 500\n"), std::string::npos);
}

}  // namespace
