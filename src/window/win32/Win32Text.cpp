#include "window/win32/Win32Text.h"
#include "window/win32/Win32Api.h"

#include <algorithm>

namespace zelo::win32 {

std::string WindowText(HWND window) {
    if (window == nullptr)
        return {};
    const int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return Utf8Text(text);
}

void SetWindowTextUtf8(HWND window, const std::string& text) {
    if (window != nullptr)
        ::SetWindowTextW(window, WideText(text).c_str());
}

} // namespace zelo::win32
