// A stream for writing a new file (emptied when it exists) that may be
// renamed while it is open, as a file of kl_poll is renamed into its place
// after its first row and written on.
#pragma once

#include <cstdio>
#include <string>

namespace tools {

// Null when the file cannot be opened, with errno set.
std::FILE* openWriteStream(const std::string& path);

}  // namespace tools
