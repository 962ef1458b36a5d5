#include "replacing_file.h"

#include "platform/file.h"
#include "write_stream.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace tools {

namespace {

constexpr int kMostLinks = 40;

bool holdsOtherThanAFile(const std::string& path)
{
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    return fs::exists(status) && !fs::is_regular_file(status);
}

}  // namespace

std::string finalTarget(const std::string& path)
{
    fs::path p = path;
    std::error_code ec;
    for (int i = 0; i < kMostLinks && fs::is_symlink(fs::symlink_status(p, ec)); ++i) {
        const fs::path target = fs::read_symlink(p, ec);
        if (ec)
            break;
        p = target.is_absolute() ? target : p.parent_path() / target;
    }
    return p.string();
}

bool canReplace(const std::string& path, std::string& reason)
{
    const std::string target = finalTarget(path);
    std::error_code ec;
    if (fs::is_directory(target, ec)) {
        reason = std::strerror(EISDIR);
        return false;
    }
    if (holdsOtherThanAFile(target)) {
        reason = "это не обычный файл";
        return false;
    }
    fs::path folder = fs::path(target).parent_path();
    if (folder.empty())
        folder = ".";
    if (::access(folder.string().c_str(), W_OK | X_OK) != 0) {
        reason = std::strerror(errno);
        return false;
    }
    return true;
}

ReplacingFile::~ReplacingFile()
{
    close();
}

bool ReplacingFile::open(const std::string& path, std::string& error)
{
    close();
    place_ = finalTarget(path);
    committed_ = false;
    std::error_code ec;
    if (fs::is_directory(place_, ec)) {
        error = std::strerror(EISDIR);
        return false;
    }
    temporary_ = holdsOtherThanAFile(place_) ? std::string() : place_ + ".tmp";
    stream_ = openWriteStream(temporary_.empty() ? place_ : temporary_);
    if (stream_ == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    committed_ = temporary_.empty();
    return true;
}

bool ReplacingFile::commit()
{
    if (stream_ == nullptr)
        return false;
    if (!committed_)
        committed_ = platform::replaceFile(temporary_, place_);
    return committed_;
}

bool ReplacingFile::close()
{
    if (stream_ == nullptr)
        return true;
    const bool flushed = std::fflush(stream_) == 0;
    const bool closed = std::fclose(stream_) == 0 && flushed;
    stream_ = nullptr;
    if (!committed_)
        std::remove(temporary_.c_str());
    return closed;
}

}  // namespace tools
