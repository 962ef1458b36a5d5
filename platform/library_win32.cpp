#include "platform/library.h"

#include "win32_text.h"

#include <windows.h>

namespace platform {

namespace {

std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string moduleFile(HMODULE module)
{
    wchar_t path[MAX_PATH * 4];
    const DWORD n = ::GetModuleFileNameW(module, path, MAX_PATH * 4);
    return n == 0 || n >= MAX_PATH * 4 ? std::string() : detail::utf8Text(path, static_cast<int>(n));
}

// The folder of the DLL holding this code (kcmb.dll), where an installation
// puts the suite's other libraries.
std::string ownLibraryDirectory()
{
    HMODULE own = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCWSTR>(&ownLibraryDirectory), &own))
        return {};
    return folderOf(moduleFile(own));
}

void* openIn(const std::string& folder, const char* fileName)
{
    if (folder.empty())
        return nullptr;
    return ::LoadLibraryW(detail::wideText(folder + "\\" + fileName).c_str());
}

}  // namespace

std::string programDirectory()
{
    return folderOf(moduleFile(nullptr));
}

void* loadLibrary(const char* fileName)
{
    if (fileName == nullptr || *fileName == '\0')
        return nullptr;
    if (void* module = openIn(programDirectory(), fileName))
        return module;
    if (void* module = openIn(ownLibraryDirectory(), fileName))
        return module;
    return ::LoadLibraryW(detail::wideText(fileName).c_str());
}

std::string libraryFile(void* module)
{
    return module == nullptr ? std::string() : moduleFile(static_cast<HMODULE>(module));
}

void* librarySymbol(void* module, const char* name)
{
    if (module == nullptr || name == nullptr)
        return nullptr;
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(module), name));
}

bool freeLibrary(void* module)
{
    return module != nullptr && ::FreeLibrary(static_cast<HMODULE>(module)) != 0;
}

}  // namespace platform
