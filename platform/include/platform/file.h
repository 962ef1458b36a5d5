// Files: open, position, read, write, flush, replace. A file handle is closed
// with closeHandle (or a HandleGuard). Other processes may read a file while
// it is open here; nothing stops them, as this platform has no share modes.
#pragma once

#include "platform/handle.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

enum class FileOpen {
    ReadExisting,       // read only; the file must exist
    ReadWriteExisting,  // read and write; the file must exist
    WriteAlways,        // write only; created when absent, an existing file keeps its content
    CreateAlways,       // write only; created, or emptied when it exists
    CreateNew,          // write only; created, refused when anything has that name
};

// The open file, or the invalid-handle value when it cannot be opened. Only
// regular files are opened: a folder, a FIFO or a device is refused at once,
// without waiting for a peer or touching the device's state.
Handle openFile(const std::string& path, FileOpen how);

// True when anything (a file, a folder, a link even if dangling) has the name.
bool pathExists(const std::string& path);

// Moves the position to `offset` bytes from the start; false on failure.
bool setFilePosition(Handle file, std::int64_t offset);

// The file's length in bytes, or -1 when it cannot be found.
std::int64_t fileSize(Handle file);

// Reads up to `size` bytes at the position and moves it on. Gives the number
// read, short only at the end of the file, or -1 on failure.
std::int64_t readFile(Handle file, void* buffer, std::size_t size);

// Writes all `size` bytes at the position and moves it on; false when not all
// of them could be written.
bool writeFile(Handle file, const void* buffer, std::size_t size);

// Makes what was written to the file durable on the disk; false on failure.
bool flushFile(Handle file);

// Puts the file `from` in the place of `to` in one step: a reader sees the old
// file or the new one, never a mix, and a failure leaves both as they were.
// Both lie in one folder, which is flushed so that the change outlives a power
// loss.
bool replaceFile(const std::string& from, const std::string& to);

// Removes a file; false when it cannot be removed (or is not there).
bool removeFile(const std::string& path);

}  // namespace platform
