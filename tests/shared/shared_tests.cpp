// The helper functions the protocols and the file code stand on.
#include "Shared.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using testing_support::ScopedEnv;
using testing_support::TempDir;

namespace {

TEST(Lrc, IsTheTwosComplementOfTheByteSum)
{
    const char request[] = {0x01, 0x04, 0x00, 0x00, 0x00, 0x0A};
    EXPECT_EQ(Shared::LRC(request, 6), 0xF1);
    EXPECT_EQ(Shared::LRC(request, 0), 0x00);
    const char value[] = "1234";
    EXPECT_EQ(Shared::LRC(value, 4), 54);
}

TEST(Lrc, ACountAbove127PassedAsCharStillCountsEveryByte)
{
    std::string bytes(200, '\x01');
    EXPECT_EQ(Shared::LRC(bytes.data(), static_cast<char>(200)), static_cast<unsigned char>(-200));
}

TEST(Hex2Bin, ReadsUpperAndLowerCaseDigits)
{
    EXPECT_EQ(Shared::hex2bin("F1"), 0xF1);
    EXPECT_EQ(Shared::hex2bin("f1"), 0xF1);
    EXPECT_EQ(Shared::hex2bin("0a"), 0x0A);
    EXPECT_EQ(Shared::hex2bin("9C"), 0x9C);
    EXPECT_EQ(Shared::hex2bin("G1"), 0x01) << "a non-digit counts as 0";
}

TEST(SwapBytes, SwapsTheFirstCountWordsOnly)
{
    unsigned short words[] = {0x1234, 0xABCD, 0x0102};
    Shared::swapBytes(words, 2);
    EXPECT_EQ(words[0], 0x3412);
    EXPECT_EQ(words[1], 0xCDAB);
    EXPECT_EQ(words[2], 0x0102);
    Shared::swapBytes(words, 0);
    Shared::swapBytes(words, -3);
    EXPECT_EQ(words[0], 0x3412);
}

TEST(ConcatPaths, JoinsWithOneSeparator)
{
    EXPECT_EQ(Shared::ConcatPaths({"/home/op", "Ostrelan", "KL_S", "a.tdf"}), "/home/op/Ostrelan/KL_S/a.tdf");
    EXPECT_EQ(Shared::ConcatPaths({"/home/op/", "/Ostrelan"}), "/home/op/Ostrelan");
    EXPECT_EQ(Shared::ConcatPaths({"/", "x"}), "/x");
    EXPECT_EQ(Shared::ConcatPaths({"", "x", ""}), "x");
    EXPECT_EQ(Shared::ConcatPaths({}), "");
}

TEST(CreateParentDirectories, CreatesEveryMissingFolderAboveTheName)
{
    TempDir dir;
    const std::string file = dir.file("a/b/c/data.tdf");
    EXPECT_TRUE(Shared::CreateParentDirectories(file));
    EXPECT_TRUE(fs::is_directory(dir.file("a/b/c")));
    EXPECT_FALSE(fs::exists(file));
    EXPECT_TRUE(Shared::CreateParentDirectories(file)) << "folders that exist are success";
    EXPECT_TRUE(Shared::CreateParentDirectories("bare-name.tdf"));
}

TEST(CreateParentDirectories, FailsWhenAFileStandsInTheWay)
{
    TempDir dir;
    std::ofstream(dir.file("blocker")) << "x";
    EXPECT_FALSE(Shared::CreateParentDirectories(dir.file("blocker/sub/data.tdf")));
}

TEST(Folders, TheWorkingDirectoryIsTheProcesssOne)
{
    TempDir dir;
    const fs::path before = fs::current_path();
    fs::current_path(dir.path());
    EXPECT_EQ(fs::path(Shared::GetWorkingDirectory()), fs::canonical(dir.path()));
    fs::current_path(before);
}

TEST(Folders, DocumentsComeFromTheEnvironmentThenUserDirsThenHome)
{
    TempDir dir;
    ScopedEnv home("HOME", dir.path());
    ScopedEnv config("XDG_CONFIG_HOME", dir.file("cfg"));
    {
        ScopedEnv docs("XDG_DOCUMENTS_DIR", "/srv/docs");
        EXPECT_EQ(Shared::GetDocumentsPath(), "/srv/docs");
    }
    ScopedEnv noDocs("XDG_DOCUMENTS_DIR", "");
    EXPECT_EQ(Shared::GetDocumentsPath(), dir.path()) << "no documents folder: the home folder";

    fs::create_directories(dir.file("cfg"));
    std::ofstream(dir.file("cfg/user-dirs.dirs")) << "# comment\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";
    EXPECT_EQ(Shared::GetDocumentsPath(), dir.file("Dokumente"));

    std::ofstream(dir.file("cfg/user-dirs.dirs")) << "XDG_DOCUMENTS_DIR=\"$HOME/\"\n";
    EXPECT_EQ(Shared::GetDocumentsPath(), dir.path());
}

}  // namespace
