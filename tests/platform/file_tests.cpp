// Files of the platform layer: the four ways of opening, positioned reads
// that come up short at the end, and folders that are no files.
#include "platform/file.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

using testing_support::TempDir;

namespace {

std::string contentOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct OpenCase {
    platform::FileOpen how;
    bool opensMissing;   // a missing file is created (or may be read)
    bool keepsContent;
};

TEST(File, EachWayOfOpeningTreatsMissingAndExistingFilesAsNamed)
{
    const OpenCase cases[] = {
        {platform::FileOpen::ReadExisting, false, true},
        {platform::FileOpen::ReadWriteExisting, false, true},
        {platform::FileOpen::WriteAlways, true, true},
        {platform::FileOpen::CreateAlways, true, false},
    };
    for (const OpenCase& c : cases) {
        TempDir dir;
        const platform::Handle missing = platform::openFile(dir.file("missing"), c.how);
        EXPECT_EQ(platform::isUsableHandle(missing), c.opensMissing);
        platform::closeHandle(missing);
        EXPECT_EQ(std::filesystem::exists(dir.file("missing")), c.opensMissing);

        std::ofstream(dir.file("existing")) << "content";
        const platform::Handle existing = platform::openFile(dir.file("existing"), c.how);
        ASSERT_TRUE(platform::isUsableHandle(existing));
        EXPECT_TRUE(platform::closeHandle(existing));
        EXPECT_EQ(contentOf(dir.file("existing")), c.keepsContent ? "content" : "");

        const platform::Handle folder = platform::openFile(dir.path(), c.how);
        EXPECT_FALSE(platform::isUsableHandle(folder));
    }
}

TEST(File, ReadsAndWritesAtThePosition)
{
    TempDir dir;
    std::ofstream(dir.file("f")) << "0123456789";
    const platform::Handle file = platform::openFile(dir.file("f"), platform::FileOpen::ReadWriteExisting);
    ASSERT_TRUE(platform::isUsableHandle(file));
    EXPECT_EQ(platform::fileSize(file), 10);
    ASSERT_TRUE(platform::setFilePosition(file, 8));
    char buffer[8] = {};
    EXPECT_EQ(platform::readFile(file, buffer, sizeof buffer), 2);
    EXPECT_EQ(std::string(buffer, 2), "89");
    EXPECT_EQ(platform::readFile(file, buffer, sizeof buffer), 0);
    ASSERT_TRUE(platform::setFilePosition(file, 2));
    EXPECT_TRUE(platform::writeFile(file, "ab", 2));
    EXPECT_FALSE(platform::setFilePosition(file, -1));
    platform::closeHandle(file);
    EXPECT_EQ(contentOf(dir.file("f")), "01ab456789");
}

TEST(File, ANewFileIsRefusedWhenAnythingHasItsName)
{
    TempDir dir;
    std::ofstream(dir.file("existing")) << "content";
    std::filesystem::create_symlink(dir.file("nowhere"), dir.file("dangling"));
    const platform::Handle fresh = platform::openFile(dir.file("fresh"), platform::FileOpen::CreateNew);
    EXPECT_TRUE(platform::isUsableHandle(fresh));
    platform::closeHandle(fresh);
    for (const char* name : {"existing", "dangling"}) {
        EXPECT_TRUE(platform::pathExists(dir.file(name))) << name;
        EXPECT_FALSE(platform::isUsableHandle(platform::openFile(dir.file(name), platform::FileOpen::CreateNew)))
            << name;
    }
    EXPECT_EQ(contentOf(dir.file("existing")), "content");
    EXPECT_FALSE(std::filesystem::exists(dir.file("nowhere")));
    EXPECT_FALSE(platform::pathExists(dir.file("absent")));
}

TEST(File, AReplacementTakesTheOldFilesPlaceWhole)
{
    TempDir dir;
    std::ofstream(dir.file("old")) << "old";
    const platform::Handle file = platform::openFile(dir.file("new"), platform::FileOpen::CreateNew);
    ASSERT_TRUE(platform::writeFile(file, "new", 3));
    EXPECT_TRUE(platform::flushFile(file));
    platform::closeHandle(file);
    ASSERT_TRUE(platform::replaceFile(dir.file("new"), dir.file("old")));
    EXPECT_EQ(contentOf(dir.file("old")), "new");
    EXPECT_FALSE(platform::pathExists(dir.file("new")));

    EXPECT_FALSE(platform::replaceFile(dir.file("absent"), dir.file("old")));
    EXPECT_EQ(contentOf(dir.file("old")), "new");
    EXPECT_TRUE(platform::removeFile(dir.file("old")));
    EXPECT_FALSE(platform::removeFile(dir.file("old")));
}

// Opening a FIFO waits for its other end unless told not to: every way of
// opening refuses it at once, as it refuses a device.
TEST(File, OnlyRegularFilesOpen)
{
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    for (platform::FileOpen how : {platform::FileOpen::ReadExisting, platform::FileOpen::ReadWriteExisting,
                                   platform::FileOpen::WriteAlways, platform::FileOpen::CreateAlways}) {
        for (const std::string& path : {dir.file("fifo"), std::string("/dev/null")}) {
            const auto start = std::chrono::steady_clock::now();
            EXPECT_FALSE(platform::isUsableHandle(platform::openFile(path, how))) << path;
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << path;
        }
    }
}

TEST(File, OtherHandlesAreRefused)
{
    char byte = 0;
    EXPECT_FALSE(platform::flushFile(platform::invalidHandle()));
    EXPECT_EQ(platform::readFile(platform::invalidHandle(), &byte, 1), -1);
    EXPECT_FALSE(platform::writeFile(nullptr, &byte, 1));
    EXPECT_EQ(platform::fileSize(platform::invalidHandle()), -1);
}

}  // namespace
