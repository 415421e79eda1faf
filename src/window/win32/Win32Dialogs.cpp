#include "window/win32/Win32Dialogs.h"
#include "window/win32/Win32Text.h"

#include <algorithm>
#include <iterator>
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

std::string FirstExtension(const std::string& filter) {
    const std::size_t bar = filter.find('|');
    if (bar == std::string::npos)
        return {};
    std::string pattern = filter.substr(bar + 1);
    pattern = pattern.substr(0, pattern.find_first_of("|;"));
    const std::size_t dot = pattern.rfind('.');
    const std::string extension = dot == std::string::npos ? std::string() : pattern.substr(dot + 1);
    return extension == "*" ? std::string() : extension;
}

namespace {

// Yes, Yes to all, No, No to all: a task dialog (common controls 6) with buttons of its own; the detail goes
// behind its expander. Nothing when the system has no task dialogs.
std::optional<int> AskToAll(HWND owner, const std::wstring& text, const std::wstring& title,
                            const std::wstring& detail) {
    using TaskDialogIndirectFn = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);
    HMODULE comctl = ::GetModuleHandleW(L"comctl32.dll");
    const auto taskDialog =
        comctl == nullptr ? nullptr
                          : reinterpret_cast<TaskDialogIndirectFn>(
                                reinterpret_cast<void*>(::GetProcAddress(comctl, "TaskDialogIndirect")));
    if (taskDialog == nullptr)
        return std::nullopt;
    const TASKDIALOG_BUTTON buttons[] = {{box::IdYes, L"&Yes"},
                                         {box::IdYesToAll, L"Yes to &all"},
                                         {box::IdNo, L"&No"},
                                         {box::IdNoToAll, L"N&o to all"}};
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof config;
    config.hwndParent = owner;
    config.dwFlags = TDF_USE_HICON_MAIN | TDF_ALLOW_DIALOG_CANCELLATION | TDF_SIZE_TO_CONTENT;
    config.pszWindowTitle = title.c_str();
    config.hMainIcon = ::LoadIconW(nullptr, IDI_QUESTION);
    config.pszContent = text.c_str();
    config.pszExpandedInformation = detail.empty() ? nullptr : detail.c_str();
    config.cButtons = static_cast<UINT>(std::size(buttons));
    config.pButtons = buttons;
    config.nDefaultButton = box::IdYes;
    int pressed = 0;
    if (FAILED(taskDialog(&config, &pressed, nullptr, nullptr)))
        return std::nullopt;
    // Escape or the close box: as No for this range.
    return pressed == IDCANCEL ? box::IdNo : pressed;
}

} // namespace

int Win32Dialogs::MessageBox(const std::string& text, const std::string& title, int flags,
                             const std::string& detail) {
    if ((flags & 0x0F) == box::YesNoToAll) {
        if (const std::optional<int> answer = AskToAll(Owner_, Widen(text), Widen(title), Widen(detail)))
            return *answer;
        flags = (flags & ~0x0F) | box::YesNo;
    }
    const std::wstring body = Widen(MessageBoxText(text, detail));
    const std::wstring caption = Widen(title);
    // Without an owner (an error before the window exists) the box still keeps the program's windows waiting.
    const UINT type = static_cast<UINT>(flags) | (Owner_ == nullptr ? MB_TASKMODAL : 0u);
    const int answer = ::MessageBoxW(Owner_, body.c_str(), caption.c_str(), type);
    return answer == 0 ? box::IdCancel : answer;
}

namespace {

// The common file dialog: open an existing file, or save (offering name, adding the filter's extension to a
// name without one, asking before a file is replaced).
std::optional<std::string> FileDialog(HWND owner, bool save, const std::string& filter,
                                      const std::string& folder, const std::string& name) {
    const std::wstring filters = OpenFileFilter(filter);
    const std::wstring initial = Widen(folder);
    const std::wstring extension = Widen(FirstExtension(filter));
    std::vector<wchar_t> path(32768, L'\0');
    const std::wstring offered = Widen(name).substr(0, path.size() - 1);
    std::copy(offered.begin(), offered.end(), path.begin());
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filters.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.lpstrInitialDir = initial.empty() ? nullptr : initial.c_str();
    // The program's current folder stays where it is: the file's folder could not be removed while the
    // program runs otherwise.
    dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_ENABLESIZING | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (save) {
        dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
        dialog.Flags |= OFN_OVERWRITEPROMPT;
        if (!::GetSaveFileNameW(&dialog))
            return std::nullopt;
    } else {
        dialog.Flags |= OFN_FILEMUSTEXIST | OFN_DONTADDTORECENT;
        if (!::GetOpenFileNameW(&dialog))
            return std::nullopt;
    }
    return Narrow(path.data());
}

} // namespace

std::optional<std::string> Win32Dialogs::OpenFile(const std::string& filter, const std::string& folder) {
    return FileDialog(Owner_, false, filter, folder, {});
}

std::optional<std::string> Win32Dialogs::SaveFile(const std::string& filter, const std::string& folder,
                                                  const std::string& name) {
    return FileDialog(Owner_, true, filter, folder, name);
}

} // namespace zelo::win32
