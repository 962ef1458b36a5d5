// Names of kl_poll's files: a device's own file when several devices share
// the line (FILE_a2.tdf), and the files that take a series further
// (FILE_2.tdf, FILE_3.tdf, ...).
#pragma once

#include <string>

namespace tools {

// `path` with `suffix` before its extension: r.tdf, "_x" -> r_x.tdf; a name
// without an extension (or a hidden file's name) gets it at the end.
std::string withSuffix(const std::string& path, const std::string& suffix);

// The file of the device at `address`: r.tdf -> r_a2.tdf.
std::string deviceFilePath(const std::string& path, int address);

// The `number`th file of a series: 1 is `path` itself, then r_2.tdf, r_3.tdf, ...
std::string numberedPath(const std::string& path, int number);

}  // namespace tools
