#pragma once
// Texts are UTF-8 inside the program; the W functions of Windows take UTF-16.
#include "window/win32/Win32Api.h"
// After the view's own Windows headers, which choose the W API.
#include "os/win32/Win32Os.h"

#include <string>
#include <string_view>

namespace zelo::win32 {

using os::Utf8Text;
using os::WideText;

// The text of a window (a caption, a control's text); empty for none.
std::string WindowText(HWND window);
void SetWindowTextUtf8(HWND window, const std::string& text);

} // namespace zelo::win32
