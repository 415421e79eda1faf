#pragma once
// Texts are UTF-8 inside the program; the W functions of Windows take UTF-16.
#include <string>
#include <string_view>

namespace zelo::win32 {

std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

} // namespace zelo::win32
