// The namespace of COM names over a device folder.
#include "platform/device_names.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using testing_support::ScopedEnv;
using testing_support::TempDir;

namespace {

TEST(DeviceNames, FolderEntriesOfAnyCaseAreTheNames)
{
    TempDir dir;
    fs::create_symlink("/dev/null", dir.file("COM1"));
    fs::create_symlink("/dev/zero", dir.file("com7"));
    std::ofstream(dir.file("README")) << "not a device";
    ScopedEnv env("KL_DEVICE_DIR", dir.path());

    EXPECT_EQ(platform::listDeviceNames(), (std::vector<std::string>{"COM1", "COM7"}));
    EXPECT_EQ(platform::resolveDevicePath("\\\\.\\com7"), dir.file("com7"));
    EXPECT_EQ(platform::resolveDevicePath("COM1"), dir.file("COM1"));
    EXPECT_EQ(platform::resolveDevicePath("COM2"), "COM2");
    EXPECT_EQ(platform::resolveDevicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");
}

TEST(DeviceNames, TheFolderDefaultsToTheUsersConfiguration)
{
    ScopedEnv noDir("KL_DEVICE_DIR", "");
    {
        ScopedEnv config("XDG_CONFIG_HOME", "/cfg");
        EXPECT_EQ(platform::deviceDirectory(), "/cfg/OSTRELAN/devices");
    }
    ScopedEnv noConfig("XDG_CONFIG_HOME", "");
    ScopedEnv home("HOME", "/home/op");
    EXPECT_EQ(platform::deviceDirectory(), "/home/op/.config/OSTRELAN/devices");
}

struct NameCase {
    const char* given;
    const char* canonical;
};

class CanonicalName : public ::testing::TestWithParam<NameCase> {};

TEST_P(CanonicalName, IsComAndTheNumber)
{
    EXPECT_EQ(platform::canonicalDeviceName(GetParam().given), GetParam().canonical);
}

INSTANTIATE_TEST_SUITE_P(Names, CanonicalName,
                         ::testing::Values(NameCase{"COM3", "COM3"}, NameCase{"com3", "COM3"},
                                           NameCase{"\\\\.\\COM12", "COM12"}, NameCase{"\\\\.\\com12", "COM12"},
                                           NameCase{"COM03", "COM3"}, NameCase{"COM0", ""}, NameCase{"COM", ""},
                                           NameCase{"COMx", ""}, NameCase{"LPT1", ""},
                                           NameCase{"COM99999999999999999999", ""}));

class AutomaticName : public ::testing::TestWithParam<NameCase> {};

TEST_P(AutomaticName, FollowsTheFixedOrder)
{
    EXPECT_EQ(platform::automaticDeviceName(GetParam().given), GetParam().canonical);
}

INSTANTIATE_TEST_SUITE_P(Files, AutomaticName,
                         ::testing::Values(NameCase{"ttyS0", "COM1"}, NameCase{"ttyS99", "COM100"},
                                           NameCase{"ttyS100", ""}, NameCase{"ttyUSB0", "COM101"},
                                           NameCase{"ttyUSB2", "COM103"}, NameCase{"ttyACM0", "COM151"},
                                           NameCase{"ttyACM49", "COM200"}, NameCase{"tty1", ""},
                                           NameCase{"ttyS", ""}, NameCase{"ttyUSBx", ""}));

}  // namespace
