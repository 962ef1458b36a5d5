// Loading optional shared libraries by name and binding their functions.
#pragma once

#include <string>

namespace platform {

// The folder of the running program.
std::string programDirectory();

// Loads the library `fileName` (e.g. "libqrvx.so"), looked for first beside
// the program, then beside the library that holds this loader (libkcmb.so, in
// an installed tree the folder of the suite's libraries), then on the library
// search path; null when it is found nowhere or cannot be loaded.
void* loadLibrary(const char* fileName);

// The file a loaded library came from, as it was opened (a path, or the bare
// name when the library search path found it); empty for null.
std::string libraryFile(void* module);

// The address of the function exported under `name`, or null.
void* librarySymbol(void* module, const char* name);

bool freeLibrary(void* module);

}  // namespace platform
