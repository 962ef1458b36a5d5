// Folders of the user and the process.
#include "Shared.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace Shared {

namespace {

std::string homeFolder()
{
    const char* home = std::getenv("HOME");
    return home ? home : "";
}

// XDG_DOCUMENTS_DIR="$HOME/Documents" in the user-dirs file.
std::string documentsFromUserDirs()
{
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string file = (config && *config ? std::string(config) : homeFolder() + "/.config") + "/user-dirs.dirs";
    std::ifstream in(file);
    std::string line;
    const std::string key = "XDG_DOCUMENTS_DIR=";
    while (std::getline(in, line)) {
        if (line.compare(0, key.size(), key) != 0)
            continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.compare(0, 5, "$HOME") == 0)
            value = homeFolder() + value.substr(5);
        while (value.size() > 1 && value.back() == '/')
            value.pop_back();
        // A value of $HOME itself means the user has no documents folder.
        if (!value.empty() && value.front() == '/' && value != homeFolder())
            return value;
    }
    return {};
}

}  // namespace

std::string GetWorkingDirectory()
{
    std::error_code ec;
    const fs::path cwd = fs::current_path(ec);
    return ec ? std::string() : cwd.string();
}

std::string GetDocumentsPath()
{
    if (const char* dir = std::getenv("XDG_DOCUMENTS_DIR"); dir && *dir)
        return dir;
    const std::string fromFile = documentsFromUserDirs();
    return fromFile.empty() ? homeFolder() : fromFile;
}

bool CreateParentDirectories(const std::string& path)
{
    const fs::path parent = fs::path(path).parent_path();
    if (parent.empty())
        return true;
    std::error_code ec;
    fs::create_directories(parent, ec);
    return !ec && fs::is_directory(parent, ec);
}

}  // namespace Shared
