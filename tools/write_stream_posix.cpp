#include "write_stream.h"

namespace tools {

std::FILE* openWriteStream(const std::string& path)
{
    return std::fopen(path.c_str(), "wb");
}

}  // namespace tools
