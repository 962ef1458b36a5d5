#include "platform/file.h"

#include <cerrno>
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
    }
    return O_RDONLY;
}

}  // namespace

Handle openFile(const std::string& path, FileOpen how)
{
    int fd;
    do
        fd = ::open(path.c_str(), flagsOf(how) | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return invalidHandle();
    // A folder opens read-only on this platform; it is no file to read either.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
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

}  // namespace platform
