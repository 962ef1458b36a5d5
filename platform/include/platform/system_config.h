// Machine-wide configuration: INI files under the system configuration folder,
// the counterpart of a machine-wide registry key. The folder is /etc/xdg, or
// the folder named by the environment variable KL_SYSTEM_CONFIG_DIR (tests
// point it at a temporary folder). The file of organisation O and application
// A is <folder>/O/A.conf; a registry key SOFTWARE\O\A\G is its group [G].
//
// The files are only read: a missing file or group reads as no values, and
// nothing is created.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace platform {

// Keys of one group with their values, keys compared without regard to case
// as registry value names are.
struct CaseInsensitiveLess {
    bool operator()(const std::string& a, const std::string& b) const;
};
using ConfigGroup = std::map<std::string, std::string, CaseInsensitiveLess>;

// <KL_SYSTEM_CONFIG_DIR or /etc/xdg>/<organisation>/<application>.conf
std::string systemConfigPath(const std::string& organisation, const std::string& application);

// The values of group [group] (any case) of the INI text: "key=value" lines,
// blanks around keys and values dropped, a value in double quotes taken without
// them, lines starting with ';' or '#' ignored. A key given twice keeps its
// last value.
ConfigGroup parseConfigGroup(const std::string& iniText, const std::string& group);

// The group of the file; nothing when the file cannot be read.
std::optional<ConfigGroup> readConfigGroup(const std::string& path, const std::string& group);

// A 32-bit unsigned number written in decimal or as 0x-prefixed hexadecimal;
// false for anything else, a sign or a value above 0xFFFFFFFF included.
bool parseConfigNumber(const std::string& text, std::uint32_t& out);

}  // namespace platform
