// The maker's helper functions that the libraries and the program rely on.
#pragma once

#include <string>
#include <vector>

namespace Shared {

// The Modbus LRC: the two's complement of the 8-bit sum of the first `count`
// bytes. The count is taken as an unsigned byte, so up to 255 bytes are summed
// even when a caller's char is signed.
unsigned char LRC(const char* bytes, char count);

// The byte written as two hexadecimal digits at `digits`, high digit first.
// Upper- and lower-case digits are understood; any other character counts as 0.
unsigned char hex2bin(const char* digits);

// Exchanges the two bytes of each of the first `count` words in place; a count
// of 0 or less changes nothing.
void swapBytes(unsigned short* words, int count);

// The process's current working directory; empty when it cannot be found.
std::string GetWorkingDirectory();

// The user's documents folder: XDG_DOCUMENTS_DIR from the environment or from
// the user-dirs file, else the home folder.
std::string GetDocumentsPath();

// The non-empty parts joined with '/', with no doubled separators.
std::string ConcatPaths(const std::vector<std::string>& parts);

// Creates every missing folder above the path's last component; false when one
// cannot be created or a non-folder stands in the way.
bool CreateParentDirectories(const std::string& path);

}  // namespace Shared
