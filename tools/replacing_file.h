// A file of kl_poll that takes the place of an existing one only once it
// holds something worth keeping. It is written as FILE.tmp beside its place
// and renamed over it at commit(); until then whatever lies at the place
// stays as it was, and a file that is never committed is removed at the end.
// A place that holds no regular file (a pipe, a terminal, /dev/null) is
// written directly: there is nothing there to keep.
#pragma once

#include <cstdio>
#include <string>

namespace tools {

class ReplacingFile {
public:
    ReplacingFile() = default;
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Opens the file for `path`; false with the reason when it cannot be.
    bool open(const std::string& path, std::string& error);
    std::FILE* stream() const { return stream_; }
    bool isOpen() const { return stream_ != nullptr; }
    // Puts the file in its place (once); true when it is there.
    bool commit();
    // Closes the file; one never committed is removed and its place kept.
    // False when the last writes failed.
    bool close();

private:
    std::FILE* stream_ = nullptr;
    std::string place_;
    std::string temporary_;  // empty when written directly
    bool committed_ = false;
};

// The file a path finally names, symbolic links followed (a dangling link
// gives the file it would name).
std::string finalTarget(const std::string& path);

// Whether a whole new file can later be put at `path`: its folder exists and
// takes new files, and nothing but a regular file is there now. False with
// the reason otherwise.
bool canReplace(const std::string& path, std::string& reason);

}  // namespace tools
