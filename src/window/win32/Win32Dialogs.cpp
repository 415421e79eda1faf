#include "window/win32/Win32Dialogs.h"
#include "window/win32/Win32Text.h"

#include <vector>

namespace zelo::win32 {

std::string MessageBoxText(const std::string& text, const std::string& detail) {
    return detail.empty() ? text : text + "\n\n" + detail;
}

std::wstring OpenFileFilter(const std::string& filter) {
    std::wstring pairs = Widen(filter);
    for (wchar_t& c : pairs)
        if (c == L'|')
            c = L'\0';
    // A description without its pattern would pair with nothing: it gets all files.
    std::size_t parts = 1;
    for (const wchar_t c : pairs)
        parts += c == L'\0' ? 1 : 0;
    if (pairs.empty())
        parts = 0;
    if (parts % 2 == 1)
        pairs += std::wstring(1, L'\0') + L"*.*";
    pairs += std::wstring(2, L'\0');
    return pairs;
}

int Win32Dialogs::MessageBox(const std::string& text, const std::string& title, int flags,
                             const std::string& detail) {
    const std::wstring body = Widen(MessageBoxText(text, detail));
    const std::wstring caption = Widen(title);
    // Without an owner (an error before the window exists) the box still keeps the program's windows waiting.
    const UINT type = static_cast<UINT>(flags) | (Owner_ == nullptr ? MB_TASKMODAL : 0u);
    const int answer = ::MessageBoxW(Owner_, body.c_str(), caption.c_str(), type);
    return answer == 0 ? box::IdCancel : answer;
}

std::optional<std::string> Win32Dialogs::OpenFile(const std::string& filter) {
    const std::wstring filters = OpenFileFilter(filter);
    std::vector<wchar_t> path(32768, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = Owner_;
    dialog.lpstrFilter = filters.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    // The program's current folder stays where it is: the file's folder could not be removed while the
    // program runs otherwise.
    dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_ENABLESIZING |
                   OFN_DONTADDTORECENT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!::GetOpenFileNameW(&dialog))
        return std::nullopt;
    return Narrow(path.data());
}

} // namespace zelo::win32
