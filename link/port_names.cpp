#include <kcmb/port_table.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t kNameExamined = 32;

}  // namespace

int GetPortNum(const char* name)
{
    if (name == nullptr)
        return 0;
    char lower[kNameExamined + 1] = {};
    for (std::size_t i = 0; i < kNameExamined && name[i] != '\0'; ++i)
        lower[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[i])));
    const char* com = std::strstr(lower, "com");
    if (com == nullptr)
        return 0;
    // Digits may run past the examined part of the name; only those within it count.
    return static_cast<int>(std::strtol(com + 3, nullptr, 10));
}

char* PreparePortName(char* out, const char* name, std::size_t outSize)
{
    if (out == nullptr || outSize == 0)
        return out;
    const int number = GetPortNum(name);
    if (number > 0)
        std::snprintf(out, outSize, "\\\\.\\com%u", static_cast<unsigned>(number));
    else if (name != nullptr)
        std::snprintf(out, outSize, "%s", name);
    else
        out[0] = '\0';
    return out;
}
