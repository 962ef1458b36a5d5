#include "platform/library.h"

#include <dlfcn.h>
#include <link.h>
#include <limits.h>
#include <unistd.h>

namespace platform {

namespace {

std::string folderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// The folder of the shared library holding this code (libkcmb.so), where an
// installation puts the suite's other libraries. Named by path rather than
// left to libkcmb's RUNPATH, which dlopen consults only when called from
// libkcmb directly, not through a sanitizer's interceptor.
std::string ownLibraryDirectory()
{
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&ownLibraryDirectory), &info) == 0 || info.dli_fname == nullptr)
        return {};
    return folderOf(info.dli_fname);
}

void* openIn(const std::string& folder, const char* fileName)
{
    if (folder.empty())
        return nullptr;
    return ::dlopen((folder + "/" + fileName).c_str(), RTLD_NOW | RTLD_LOCAL);
}

}  // namespace

std::string programDirectory()
{
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return {};
    return folderOf(std::string(path, static_cast<std::size_t>(n)));
}

void* loadLibrary(const char* fileName)
{
    if (fileName == nullptr || *fileName == '\0')
        return nullptr;
    if (void* module = openIn(programDirectory(), fileName))
        return module;
    if (void* module = openIn(ownLibraryDirectory(), fileName))
        return module;
    return ::dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
}

std::string libraryFile(void* module)
{
    link_map* map = nullptr;
    if (module == nullptr || ::dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr || map->l_name == nullptr)
        return {};
    return map->l_name;
}

void* librarySymbol(void* module, const char* name)
{
    return module != nullptr && name != nullptr ? ::dlsym(module, name) : nullptr;
}

bool freeLibrary(void* module)
{
    return module != nullptr && ::dlclose(module) == 0;
}

}  // namespace platform
