#include "output_paths.h"

namespace tools {

std::string withSuffix(const std::string& path, const std::string& suffix)
{
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    if (dot == std::string::npos || dot < nameStart || dot == nameStart)
        return path + suffix;
    return path.substr(0, dot) + suffix + path.substr(dot);
}

std::string deviceFilePath(const std::string& path, int address)
{
    return withSuffix(path, "_a" + std::to_string(address));
}

std::string numberedPath(const std::string& path, int number)
{
    return number == 1 ? path : withSuffix(path, "_" + std::to_string(number));
}

}  // namespace tools
