// printf-style texts that do not depend on the user's locale: the graph's
// formats put a point before decimals wherever the program runs, as its
// files and printed pages are read by other programs and other people.
#pragma once

#include <string>

namespace graph {

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
std::string cformat(const char* format, ...);

}  // namespace graph
