#include "platform/system_config.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace platform {

namespace {

constexpr const char* kDefaultFolder = "/etc/xdg";

std::string trimmed(const std::string& text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

bool equalNoCase(const std::string& a, const std::string& b)
{
    return !CaseInsensitiveLess()(a, b) && !CaseInsensitiveLess()(b, a);
}

}  // namespace

bool CaseInsensitiveLess::operator()(const std::string& a, const std::string& b) const
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb)
            return ca < cb;
    }
    return a.size() < b.size();
}

std::string systemConfigPath(const std::string& organisation, const std::string& application)
{
    const char* folder = std::getenv("KL_SYSTEM_CONFIG_DIR");
    return std::string(folder && *folder ? folder : kDefaultFolder) + "/" + organisation + "/" + application + ".conf";
}

ConfigGroup parseConfigGroup(const std::string& iniText, const std::string& group)
{
    ConfigGroup values;
    std::istringstream lines(iniText);
    std::string line;
    bool inGroup = false;
    while (std::getline(lines, line)) {
        line = trimmed(line);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line.front() == '[') {
            inGroup = line.back() == ']' && equalNoCase(trimmed(line.substr(1, line.size() - 2)), group);
            continue;
        }
        const auto eq = line.find('=');
        if (!inGroup || eq == std::string::npos)
            continue;
        const std::string key = trimmed(line.substr(0, eq));
        std::string value = trimmed(line.substr(eq + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (!key.empty())
            values[key] = value;
    }
    return values;
}

std::optional<ConfigGroup> readConfigGroup(const std::string& path, const std::string& group)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad())
        return std::nullopt;
    return parseConfigGroup(text.str(), group);
}

bool parseConfigNumber(const std::string& text, std::uint32_t& out)
{
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty())
        return false;
    for (char c : digits)
        if (!(hex ? std::isxdigit(static_cast<unsigned char>(c)) : std::isdigit(static_cast<unsigned char>(c))))
            return false;
    errno = 0;
    const unsigned long long value = std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
    if (errno == ERANGE || value > 0xFFFFFFFFull)
        return false;
    out = static_cast<std::uint32_t>(value);
    return true;
}

}  // namespace platform
