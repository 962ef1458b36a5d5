// The machine-wide INI files: where they are, how a group is read, what
// counts as a number.
#include "platform/system_config.h"

#include "test_support.h"
#include "case_names.h"

#include <gtest/gtest.h>

#include <fstream>
#include <ostream>

using platform::parseConfigGroup;
using testing_support::caseName;

namespace {

TEST(SystemConfig, PathFollowsTheFolderVariable)
{
    {
        testing_support::ScopedEnv env("KL_SYSTEM_CONFIG_DIR", "/tmp/cfg");
        EXPECT_EQ(platform::systemConfigPath("OSTRELAN", "VA_ZIRUDEZOV"), "/tmp/cfg/OSTRELAN/VA_ZIRUDEZOV.conf");
    }
    testing_support::ScopedEnv empty("KL_SYSTEM_CONFIG_DIR", "");
    EXPECT_EQ(platform::systemConfigPath("OSTRELAN", "VA_ZIRUDEZOV"), "/etc/xdg/OSTRELAN/VA_ZIRUDEZOV.conf");
}

TEST(SystemConfig, ReadsOnlyTheNamedGroup)
{
    const std::string ini =
        "top=1\n"
        "[Other]\nZeroWaitTime=9\n"
        "[QRVX]\n"
        "; a comment\n"
        "# another\n"
        "  ZeroWaitTime = 700  \r\n"
        "ZeroSyncWait=\"300\"\n"
        "no equals sign\n"
        "=5\n"
        "[Later]\nZeroStrLen=4\n";
    const auto group = parseConfigGroup(ini, "QRVX");
    EXPECT_EQ(group, (platform::ConfigGroup{{"ZeroWaitTime", "700"}, {"ZeroSyncWait", "300"}}));
}

TEST(SystemConfig, GroupsAndKeysIgnoreCaseAndTheLastValueCounts)
{
    const auto group = parseConfigGroup("[qrvx]\nzerowaittime=1\nZEROWAITTIME=2\n", "QRVX");
    ASSERT_EQ(group.count("ZeroWaitTime"), 1u);
    EXPECT_EQ(group.at("ZeroWaitTime"), "2");
}

TEST(SystemConfig, GroupOfAFile)
{
    testing_support::TempDir dir;
    EXPECT_FALSE(platform::readConfigGroup(dir.file("missing.conf"), "QRVX"));
    std::ofstream(dir.file("a.conf")) << "[QRVX]\nZeroStrLen=2\n";
    const auto group = platform::readConfigGroup(dir.file("a.conf"), "QRVX");
    ASSERT_TRUE(group);
    EXPECT_EQ(group->at("ZeroStrLen"), "2");
    EXPECT_TRUE(platform::readConfigGroup(dir.file("a.conf"), "Absent")->empty());
}

struct NumberCase {
    const char* text;
    bool ok;
    std::uint32_t value;
};

void PrintTo(const NumberCase& c, std::ostream* os)
{
    *os << '"' << c.text << '"';
}

class ConfigNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ConfigNumber, Parses)
{
    std::uint32_t value = 77;
    EXPECT_EQ(platform::parseConfigNumber(GetParam().text, value), GetParam().ok) << GetParam().text;
    EXPECT_EQ(value, GetParam().ok ? GetParam().value : 77u) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Texts, ConfigNumber,
                         ::testing::Values(NumberCase{"500", true, 500}, NumberCase{"0", true, 0},
                                           NumberCase{"0x1F4", true, 500}, NumberCase{"4294967295", true, 0xFFFFFFFFu},
                                           NumberCase{"4294967296", false, 0}, NumberCase{"-1", false, 0},
                                           NumberCase{"+5", false, 0}, NumberCase{"", false, 0},
                                           NumberCase{"12ms", false, 0}, NumberCase{"0x", false, 0},
                                           NumberCase{" 5", false, 0}),
                         [](const auto& info) { return caseName(info.param.text); });

}  // namespace
