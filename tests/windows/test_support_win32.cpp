// The test support's temporary folders and environment on Windows.
#include "test_support.h"

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace testing_support {

namespace fs = std::filesystem;

TempDir::TempDir()
{
    const fs::path base = fs::temp_directory_path();
    for (unsigned attempt = 0; attempt < 1000; ++attempt) {
        const std::string name = "kl_test_" + std::to_string(::GetCurrentProcessId()) + "_"
            + std::to_string(::GetTickCount64() + attempt);
        const fs::path candidate = base / name;
        if (::CreateDirectoryW(candidate.c_str(), nullptr)) {
            path_ = candidate.u8string();
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir()
{
    std::error_code ec;
    fs::remove_all(fs::u8path(path_), ec);
}

ScopedEnv::ScopedEnv(const std::string& name, const std::string& value) : name_(name)
{
    if (const char* old = std::getenv(name.c_str())) {
        had_ = true;
        old_ = old;
    }
    ::_putenv_s(name.c_str(), value.c_str());
}

ScopedEnv::~ScopedEnv()
{
    // An empty value removes the variable.
    ::_putenv_s(name_.c_str(), had_ ? old_.c_str() : "");
}

}  // namespace testing_support
