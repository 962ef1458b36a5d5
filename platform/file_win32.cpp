// Files through the Win32 file functions, with UTF-8 paths. Files are opened
// with every share mode, so that other programs may read a result file while
// it grows and a file may be replaced while a reader holds it, as on POSIX.
#include "platform/file.h"

#include "win32_text.h"

#include <windows.h>

#include <algorithm>

namespace platform {

namespace {

class FileHandle final : public HandleObject {
public:
    explicit FileHandle(HANDLE file) : file_(file) {}
    ~FileHandle() override { ::CloseHandle(file_); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    HANDLE file() const { return file_; }

private:
    HANDLE file_;
};

HANDLE systemHandleOf(Handle h)
{
    const auto file = handleObject<FileHandle>(h);
    return file ? file->file() : INVALID_HANDLE_VALUE;
}

void accessOf(FileOpen how, DWORD& access, DWORD& disposition)
{
    switch (how) {
    case FileOpen::ReadExisting: access = GENERIC_READ; disposition = OPEN_EXISTING; return;
    case FileOpen::ReadWriteExisting: access = GENERIC_READ | GENERIC_WRITE; disposition = OPEN_EXISTING; return;
    case FileOpen::WriteAlways: access = GENERIC_WRITE; disposition = OPEN_ALWAYS; return;
    case FileOpen::CreateAlways: access = GENERIC_WRITE; disposition = CREATE_ALWAYS; return;
    case FileOpen::CreateNew: access = GENERIC_WRITE; disposition = CREATE_NEW; return;
    }
}

}  // namespace

Handle openFile(const std::string& path, FileOpen how)
{
    DWORD access = GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    accessOf(how, access, disposition);
    const HANDLE file = ::CreateFileW(detail::wideText(path).c_str(), access,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, disposition,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return invalidHandle();
    // Only files on a disk: no pipe, console or device.
    if (::GetFileType(file) != FILE_TYPE_DISK) {
        ::CloseHandle(file);
        return invalidHandle();
    }
    return registerHandle(std::make_shared<FileHandle>(file));
}

bool pathExists(const std::string& path)
{
    return ::GetFileAttributesW(detail::wideText(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool setFilePosition(Handle file, std::int64_t offset)
{
    const HANDLE h = systemHandleOf(file);
    LARGE_INTEGER to{};
    to.QuadPart = offset;
    return h != INVALID_HANDLE_VALUE && offset >= 0 && ::SetFilePointerEx(h, to, nullptr, FILE_BEGIN) != 0;
}

std::int64_t fileSize(Handle file)
{
    const HANDLE h = systemHandleOf(file);
    LARGE_INTEGER size{};
    if (h == INVALID_HANDLE_VALUE || !::GetFileSizeEx(h, &size))
        return -1;
    return size.QuadPart;
}

std::int64_t readFile(Handle file, void* buffer, std::size_t size)
{
    const HANDLE h = systemHandleOf(file);
    if (h == INVALID_HANDLE_VALUE)
        return -1;
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
        DWORD n = 0;
        if (!::ReadFile(h, out + done, chunk, &n, nullptr))
            return -1;
        if (n == 0)
            break;
        done += n;
    }
    return static_cast<std::int64_t>(done);
}

bool writeFile(Handle file, const void* buffer, std::size_t size)
{
    const HANDLE h = systemHandleOf(file);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const auto* in = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 30));
        DWORD n = 0;
        if (!::WriteFile(h, in + done, chunk, &n, nullptr) || n == 0)
            return false;
        done += n;
    }
    return true;
}

bool flushFile(Handle file)
{
    const HANDLE h = systemHandleOf(file);
    return h != INVALID_HANDLE_VALUE && ::FlushFileBuffers(h) != 0;
}

bool replaceFile(const std::string& from, const std::string& to)
{
    // Write-through: the move is on the disk when the call returns.
    return ::MoveFileExW(detail::wideText(from).c_str(), detail::wideText(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool removeFile(const std::string& path)
{
    return ::DeleteFileW(detail::wideText(path).c_str()) != 0;
}

}  // namespace platform
