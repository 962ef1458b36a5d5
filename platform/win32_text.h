// Narrow texts of this layer are UTF-8; the wide functions of Win32 take
// UTF-16.
#pragma once

#include <string>

namespace platform::detail {

std::wstring wideText(const std::string& utf8);
std::string utf8Text(const wchar_t* wide, int length = -1);

}  // namespace platform::detail
