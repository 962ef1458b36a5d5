// Folders of the user and the process on Windows. Paths are UTF-8 texts,
// which std::filesystem takes and gives through u8path and u8string (its
// narrow strings would be of the ANSI code page).
#include "Shared.h"

#include <windows.h>
#include <shlobj.h>

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace Shared {

std::string GetWorkingDirectory()
{
    std::error_code ec;
    const fs::path cwd = fs::current_path(ec);
    return ec ? std::string() : cwd.u8string();
}

std::string GetDocumentsPath()
{
    wchar_t folder[MAX_PATH];
    if (::SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, folder) != S_OK)
        return {};
    return fs::path(folder).u8string();
}

bool CreateParentDirectories(const std::string& path)
{
    const fs::path parent = fs::u8path(path).parent_path();
    if (parent.empty())
        return true;
    std::error_code ec;
    fs::create_directories(parent, ec);
    return !ec && fs::is_directory(parent, ec);
}

}  // namespace Shared
