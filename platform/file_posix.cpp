#include "platform/file.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

class FileHandle final : public HandleObject {
public:
    explicit FileHandle(int fd) : fd_(fd) {}
    ~FileHandle() override { ::close(fd_); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    int fd() const { return fd_; }

private:
    int fd_;
};

int descriptorOf(Handle h)
{
    const auto file = handleObject<FileHandle>(h);
    return file ? file->fd() : -1;
}

int flagsOf(FileOpen how)
{
    switch (how) {
    case FileOpen::ReadExisting:
        return O_RDONLY;
    case FileOpen::ReadWriteExisting:
        return O_RDWR;
    case FileOpen::WriteAlways:
        return O_WRONLY | O_CREAT;
    case FileOpen::CreateAlways:
        return O_WRONLY | O_CREAT | O_TRUNC;
    case FileOpen::CreateNew:
        return O_WRONLY | O_CREAT | O_EXCL;
    }
    return O_RDONLY;
}

int openRetrying(const char* path, int flags, mode_t mode = 0)
{
    int fd;
    do
        fd = ::open(path, flags | O_CLOEXEC, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

Handle openFile(const std::string& path, FileOpen how)
{
    // Without O_NONBLOCK opening a FIFO waits for its other end, and a
    // terminal for its carrier; on a regular file the flag changes nothing.
    const int fd = openRetrying(path.c_str(), flagsOf(how) | O_NONBLOCK, 0666);
    if (fd < 0)
        return invalidHandle();
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return invalidHandle();
    }
    return registerHandle(std::make_shared<FileHandle>(fd));
}

bool setFilePosition(Handle file, std::int64_t offset)
{
    const int fd = descriptorOf(file);
    return fd >= 0 && offset >= 0 && ::lseek(fd, static_cast<off_t>(offset), SEEK_SET) == offset;
}

std::int64_t fileSize(Handle file)
{
    const int fd = descriptorOf(file);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0)
        return -1;
    return st.st_size;
}

std::int64_t readFile(Handle file, void* buffer, std::size_t size)
{
    const int fd = descriptorOf(file);
    if (fd < 0)
        return -1;
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, out + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<std::int64_t>(done);
}

bool writeFile(Handle file, const void* buffer, std::size_t size)
{
    const int fd = descriptorOf(file);
    if (fd < 0)
        return false;
    const auto* in = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, in + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool pathExists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool flushFile(Handle file)
{
    const int fd = descriptorOf(file);
    if (fd < 0)
        return false;
    int result;
    do
        result = ::fsync(fd);
    while (result != 0 && errno == EINTR);
    return result == 0;
}

bool replaceFile(const std::string& from, const std::string& to)
{
    if (::rename(from.c_str(), to.c_str()) != 0)
        return false;
    // The new name is in the folder's entries only once the folder is on the
    // disk; some file systems cannot flush a folder, and the rename stands.
    const int folder = openRetrying(folderOf(to).c_str(), O_RDONLY | O_DIRECTORY);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

bool removeFile(const std::string& path)
{
    return ::unlink(path.c_str()) == 0;
}

}  // namespace platform
