// Windows renames an open file only when every handle to it allows it
// (FILE_SHARE_DELETE), which fopen's handles do not: the file is opened with
// CreateFile and handed to the C runtime as a stream.
#include "write_stream.h"

#include <windows.h>

#include <cerrno>
#include <fcntl.h>
#include <io.h>

namespace tools {

std::FILE* openWriteStream(const std::string& path)
{
    const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        errno = ::GetLastError() == ERROR_ACCESS_DENIED ? EACCES : ENOENT;
        return nullptr;
    }
    const int descriptor = ::_open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY | _O_BINARY);
    if (descriptor < 0) {
        ::CloseHandle(file);
        return nullptr;
    }
    std::FILE* stream = ::_fdopen(descriptor, "wb");
    if (stream == nullptr)
        ::_close(descriptor);
    return stream;
}

}  // namespace tools
