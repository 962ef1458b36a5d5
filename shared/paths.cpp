// Joining parts of a path, the same on every system.
#include "Shared.h"

namespace Shared {

std::string ConcatPaths(const std::vector<std::string>& parts)
{
    std::string result;
    for (const std::string& part : parts) {
        if (part.empty())
            continue;
        if (result.empty()) {
            result = part;
            continue;
        }
        const bool endsWithSlash = result.back() == '/';
        const bool startsWithSlash = part.front() == '/';
        if (endsWithSlash && startsWithSlash)
            result += part.substr(1);
        else if (endsWithSlash || startsWithSlash)
            result += part;
        else
            result += '/' + part;
    }
    return result;
}

}  // namespace Shared
