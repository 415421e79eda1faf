#include "window/win32/Win32Text.h"
#include "window/win32/Win32Api.h"

#include <algorithm>
#include <limits>

namespace zelo::win32 {

std::wstring Widen(std::string_view utf8) {
    if (utf8.empty() || utf8.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        return {};
    const int size = static_cast<int>(utf8.size());
    // Broken UTF-8 becomes U+FFFD rather than nothing: the rest of the text stays readable.
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, text.data(), length);
    return text;
}

std::string Narrow(std::wstring_view utf16) {
    if (utf16.empty() || utf16.size() > static_cast<std::size_t>(std::numeric_limits<int>::max() / 3))
        return {};
    const int size = static_cast<int>(utf16.size());
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, text.data(), length, nullptr, nullptr);
    return text;
}

std::string WindowText(HWND window) {
    if (window == nullptr)
        return {};
    const int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return Narrow(text);
}

void SetWindowTextUtf8(HWND window, const std::string& text) {
    if (window != nullptr)
        ::SetWindowTextW(window, Widen(text).c_str());
}

} // namespace zelo::win32
