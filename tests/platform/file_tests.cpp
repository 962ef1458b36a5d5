// Files of the platform layer: the four ways of opening, positioned reads
// that come up short at the end, and folders that are no files.
#include "platform/file.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

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

TEST(File, OtherHandlesAreRefused)
{
    char byte = 0;
    EXPECT_EQ(platform::readFile(platform::invalidHandle(), &byte, 1), -1);
    EXPECT_FALSE(platform::writeFile(nullptr, &byte, 1));
    EXPECT_EQ(platform::fileSize(platform::invalidHandle()), -1);
}

}  // namespace
