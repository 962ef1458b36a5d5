#include "platform/library.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

namespace platform {

std::string programDirectory()
{
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return {};
    const std::string exe(path, static_cast<std::size_t>(n));
    const auto slash = exe.rfind('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

void* loadLibrary(const char* fileName)
{
    if (fileName == nullptr || *fileName == '\0')
        return nullptr;
    const std::string beside = programDirectory() + "/" + fileName;
    if (void* module = ::dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL))
        return module;
    return ::dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
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
