// The namespace of COM names over a device folder.
#include "platform/device_names.h"
#include "made_machine.h"
#include "test_support.h"
#include "case_names.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::caseName;

namespace {

TEST(DeviceNames, FolderEntriesOfAnyCaseAreTheNames)
{
    TempDir dir;
    fs::create_symlink("/dev/null", dir.file("COM1"));
    fs::create_symlink("/dev/zero", dir.file("com7"));
    std::ofstream(dir.file("README")) << "not a device";
    ScopedEnv env("KL_DEVICE_DIR", dir.path());

    EXPECT_EQ(platform::listDeviceNames(), (std::vector<std::string>{"COM1", "COM7"}));
    EXPECT_EQ(platform::findDevicePath("\\\\.\\com7"), dir.file("com7"));
    EXPECT_EQ(platform::findDevicePath("COM1"), dir.file("COM1"));
    EXPECT_EQ(platform::findDevicePath("COM2"), std::nullopt) << "no entry: no port, never a file COM2";
    EXPECT_EQ(platform::findDevicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");
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
                                           NameCase{"COM99999999999999999999", ""}),
                         [](const auto& info) { return caseName(info.param.given, "Is", info.param.canonical); });

class AutomaticName : public ::testing::TestWithParam<NameCase> {};

TEST_P(AutomaticName, FollowsTheFixedOrder)
{
    EXPECT_EQ(platform::automaticDeviceName(GetParam().given), GetParam().canonical);
}

INSTANTIATE_TEST_SUITE_P(Files, AutomaticName,
                         ::testing::Values(NameCase{"ttyS0", "COM1"}, NameCase{"ttyS99", "COM100"},
                                           NameCase{"ttyS100", ""}, NameCase{"ttyUSB0", ""},
                                           NameCase{"ttyACM0", ""}, NameCase{"tty1", ""},
                                           NameCase{"ttyS", ""}, NameCase{"ttyUSBx", ""}),
                         [](const auto& info) { return caseName(info.param.given, "Is", info.param.canonical); });

// A made /dev and /sys with a settings folder that remembers the adapters.
class MachineTree : public ::testing::Test, protected testing_support::MadeMachine {
protected:
    std::string nameOf(const std::string& file) const
    {
        for (const platform::DevicePort& port : platform::listDevicePorts())
            if (port.path == dev.file(file))
                return port.name;
        return {};
    }

    TempDir settings, home;
    ScopedEnv settingsDir{"KL_SETTINGS_DIR", settings.path()};
    // No device folder: the machine's devices are the namespace.
    ScopedEnv noFolder{"KL_DEVICE_DIR", home.file("devices")};
};

TEST_F(MachineTree, WithoutAFolderTheFixedPortsAndAdaptersAreTheNames)
{
    addNode("ttyS0");
    addNode("ttyS3");
    addNode("tty1");
    plug("ttyUSB0", "A1");
    EXPECT_EQ(platform::listDeviceNames(), (std::vector<std::string>{"COM1", "COM4", "COM101"}));
    EXPECT_EQ(platform::findDevicePath("\\\\.\\com4"), dev.file("ttyS3"));
    EXPECT_EQ(platform::findDevicePath("COM2"), std::nullopt) << "no port behind it";
    const auto ports = platform::listDevicePorts();
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[2].description, "Maker USB-RS485 Cable, серийный номер A1");
    EXPECT_EQ(ports[0].description, "") << "a fixed port has no USB record";
}

TEST_F(MachineTree, AnEmptyFolderIsTheWholeNamespace)
{
    addNode("ttyS0");
    plug("ttyUSB0", "A1");
    fs::create_directory(home.file("devices"));
    EXPECT_TRUE(platform::listDeviceNames().empty());
    EXPECT_EQ(platform::findDevicePath("COM1"), std::nullopt) << "never the machine's first serial port";
    fs::remove(home.file("devices"));
    EXPECT_EQ(platform::listDeviceNames(), (std::vector<std::string>{"COM1", "COM101"}));
}

TEST_F(MachineTree, AnAdapterKeepsItsNameWhateverThePlugOrder)
{
    plug("ttyUSB0", "A1");
    EXPECT_EQ(nameOf("ttyUSB0"), "COM101");
    plug("ttyUSB1", "B2");
    EXPECT_EQ(nameOf("ttyUSB1"), "COM102");
    plug("ttyACM0", "C3");
    EXPECT_EQ(nameOf("ttyACM0"), "COM103");

    // Plugged in the other way round, and one left out.
    unplugAll();
    plug("ttyUSB0", "B2");
    plug("ttyACM0", "A1");
    EXPECT_EQ(nameOf("ttyUSB0"), "COM102") << "B2";
    EXPECT_EQ(nameOf("ttyACM0"), "COM101") << "A1";
    EXPECT_EQ(platform::listDeviceNames(), (std::vector<std::string>{"COM101", "COM102"}));

    // A new adapter takes no name an absent one keeps.
    plug("ttyUSB1", "D4");
    EXPECT_EQ(nameOf("ttyUSB1"), "COM104");
    std::ifstream memory(settings.file("OSTRELAN/com-ports"));
    const std::string remembered((std::istreambuf_iterator<char>(memory)), std::istreambuf_iterator<char>());
    EXPECT_EQ(remembered,
              "COM101 usb-Maker_Cable_A1-if00-port0\nCOM102 usb-Maker_Cable_B2-if00-port0\n"
              "COM103 usb-Maker_Cable_C3-if00-port0\nCOM104 usb-Maker_Cable_D4-if00-port0\n");
}

TEST_F(MachineTree, ANumberRememberedForAnotherAdapterIsGivenToNoNewOne)
{
    addNode("ttyS0");
    fs::create_directories(settings.file("OSTRELAN"));
    std::ofstream(settings.file("OSTRELAN/com-ports")) << "COM101 usb-Other_Adapter-if00-port0\n";
    plug("ttyUSB0", "A1");
    EXPECT_EQ(nameOf("ttyUSB0"), "COM102") << "COM101 is remembered for another adapter";
    EXPECT_EQ(nameOf("ttyS0"), "COM1");
}

}  // namespace
