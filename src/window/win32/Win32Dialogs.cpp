#include "window/win32/Win32Dialogs.h"
#include "window/Catalogue.h"
#include "window/win32/Win32Text.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

namespace zelo::win32 {

std::string MessageBoxText(const std::string& text, const std::string& detail) {
    return detail.empty() ? text : text + "\n\n" + detail;
}

std::wstring OpenFileFilter(const std::string& filter) {
    std::wstring pairs = WideText(filter);
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
                            const std::wstring& detail, int defaultAnswer) {
    using TaskDialogIndirectFn = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);
    HMODULE comctl = ::GetModuleHandleW(L"comctl32.dll");
    const auto taskDialog =
        comctl == nullptr ? nullptr
                          : reinterpret_cast<TaskDialogIndirectFn>(
                                reinterpret_cast<void*>(::GetProcAddress(comctl, "TaskDialogIndirect")));
    if (taskDialog == nullptr)
        return std::nullopt;
    const std::wstring yes = WideText(Tr("&Yes")), yesToAll = WideText(Tr("Yes to &all")),
                       no = WideText(Tr("&No")), noToAll = WideText(Tr("N&o to all")),
                       details = WideText(Tr("Details"));
    const TASKDIALOG_BUTTON buttons[] = {{box::IdYes, yes.c_str()},
                                         {box::IdYesToAll, yesToAll.c_str()},
                                         {box::IdNo, no.c_str()},
                                         {box::IdNoToAll, noToAll.c_str()}};
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof config;
    config.hwndParent = owner;
    config.dwFlags = TDF_USE_HICON_MAIN | TDF_ALLOW_DIALOG_CANCELLATION | TDF_SIZE_TO_CONTENT;
    config.pszWindowTitle = title.c_str();
    config.hMainIcon = ::LoadIconW(nullptr, IDI_QUESTION);
    config.pszContent = text.c_str();
    config.pszExpandedInformation = detail.empty() ? nullptr : detail.c_str();
    // A short label of our own: the system's longer one is cut short in a narrow dialog.
    config.pszCollapsedControlText = details.c_str();
    config.pszExpandedControlText = details.c_str();
    config.cButtons = static_cast<UINT>(std::size(buttons));
    config.pButtons = buttons;
    config.nDefaultButton = defaultAnswer;
    int pressed = 0;
    if (FAILED(taskDialog(&config, &pressed, nullptr, nullptr)))
        return std::nullopt;
    // Escape or the close box: as No for this range.
    return pressed == IDCANCEL ? box::IdNo : pressed;
}

HHOOK TitleHook = nullptr; // the GUI thread only

// A message box is as wide as its text needs, which may cut its title short: widened to the title, its
// content moved along so it stays in the middle.
void FitTitle(HWND box) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        return;
    std::wstring title(static_cast<std::size_t>(::GetWindowTextLengthW(box)) + 1, L'\0');
    title.resize(
        static_cast<std::size_t>(::GetWindowTextW(box, title.data(), static_cast<int>(title.size()))));
    HFONT font = ::CreateFontIndirectW(&metrics.lfCaptionFont);
    HDC dc = ::GetDC(box);
    HGDIOBJ old = ::SelectObject(dc, font);
    SIZE text{};
    ::GetTextExtentPoint32W(dc, title.c_str(), static_cast<int>(title.size()), &text);
    ::SelectObject(dc, old);
    ::ReleaseDC(box, dc);
    ::DeleteObject(font);
    // The title, the close box and its neighbours, the icon, the frame and a little room.
    const int needed = text.cx + 3 * metrics.iCaptionWidth + ::GetSystemMetrics(SM_CXSMICON) +
                       2 * ::GetSystemMetrics(SM_CXFRAME) + 16;
    RECT frame{};
    ::GetWindowRect(box, &frame);
    const int grow = needed - (frame.right - frame.left);
    if (grow <= 0)
        return;
    ::SetWindowPos(box, nullptr, frame.left - grow / 2, frame.top, frame.right - frame.left + grow,
                   frame.bottom - frame.top, SWP_NOZORDER | SWP_NOACTIVATE);
    for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        RECT place{};
        ::GetWindowRect(child, &place);
        ::MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&place), 2);
        ::SetWindowPos(child, nullptr, place.left + grow / 2, place.top, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

LRESULT CALLBACK WidenForTitle(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && TitleHook != nullptr) {
        ::UnhookWindowsHookEx(std::exchange(TitleHook, nullptr));
        FitTitle(reinterpret_cast<HWND>(wParam));
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

static_assert(box::DefaultNo == MB_DEFBUTTON2, "the box's flags are the message box's");

int Win32Dialogs::MessageBox(const std::string& text, const std::string& title, int flags,
                             const std::string& detail) {
    if ((flags & 0x0F) == box::YesNoToAll) {
        if (const std::optional<int> answer = AskToAll(Owner_, WideText(text), WideText(title),
                                                       WideText(detail), box::DefaultAnswer(flags)))
            return *answer;
        flags = (flags & ~0x0F) | box::YesNo;
    }
    const std::wstring body = WideText(MessageBoxText(text, detail));
    const std::wstring caption = WideText(title);
    // Without an owner (an error before the window exists) the box still keeps the program's windows waiting.
    const UINT type = static_cast<UINT>(flags) | (Owner_ == nullptr ? MB_TASKMODAL : 0u);
    TitleHook = ::SetWindowsHookExW(WH_CBT, WidenForTitle, nullptr, ::GetCurrentThreadId());
    const int answer = ::MessageBoxW(Owner_, body.c_str(), caption.c_str(), type);
    if (TitleHook != nullptr)
        ::UnhookWindowsHookEx(std::exchange(TitleHook, nullptr));
    return answer == 0 ? box::IdCancel : answer;
}

namespace {

// The common file dialog: open an existing file, or save (offering name, adding the filter's extension to a
// name without one, asking before a file is replaced).
std::optional<std::string> FileDialog(HWND owner, bool save, const std::string& filter,
                                      const std::string& folder, const std::string& name) {
    const std::wstring filters = OpenFileFilter(filter);
    const std::wstring initial = WideText(folder);
    const std::wstring extension = WideText(FirstExtension(filter));
    std::vector<wchar_t> path(32768, L'\0');
    const std::wstring offered = WideText(name).substr(0, path.size() - 1);
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
    return Utf8Text(path.data());
}

} // namespace

std::optional<std::string> Win32Dialogs::OpenFile(const std::string& filter, const std::string& folder) {
    return FileDialog(Owner_, false, filter, folder, {});
}

std::optional<std::string> Win32Dialogs::SaveFile(const std::string& filter, const std::string& folder,
                                                  const std::string& name) {
    return FileDialog(Owner_, true, filter, folder, name);
}

namespace {

// A dialog template built in memory: DLGTEMPLATE with a font, then one DLGITEMTEMPLATE per control, each
// aligned to four bytes. Sizes are dialog units.
class DialogTemplate {
public:
    DialogTemplate(DWORD style, short width, short height) {
        Dword(style | DS_SETFONT);
        Dword(0); // extended style
        CountAt_ = Words_.size();
        Words_.push_back(0); // number of controls, counted as they are added
        Rect(0, 0, width, height);
        Words_.push_back(0); // no menu
        Words_.push_back(0); // the standard dialog class
        Text(L"");           // the title is set when the dialog starts
        Words_.push_back(8);
        Text(L"MS Shell Dlg");
    }

    // A control of a predefined class (0x80 button, 0x81 edit, 0x82 static).
    void Control(WORD windowClass, DWORD style, int id, short x, short y, short width, short height,
                 const wchar_t* text = L"") {
        if (Words_.size() % 2 != 0)
            Words_.push_back(0);
        Dword(style | WS_CHILD | WS_VISIBLE);
        Dword(0);
        Rect(x, y, width, height);
        Words_.push_back(static_cast<WORD>(id));
        Words_.push_back(0xFFFF);
        Words_.push_back(windowClass);
        Text(text);
        Words_.push_back(0); // no creation data
        ++Words_[CountAt_];
    }

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(Words_.data()); }

private:
    void Dword(DWORD value) {
        Words_.push_back(LOWORD(value));
        Words_.push_back(HIWORD(value));
    }
    void Rect(short x, short y, short width, short height) {
        for (const short value : {x, y, width, height})
            Words_.push_back(static_cast<WORD>(value));
    }
    void Text(const wchar_t* text) {
        for (; *text != L'\0'; ++text)
            Words_.push_back(static_cast<WORD>(*text));
        Words_.push_back(0);
    }

    // WORDs, so the start is aligned as the template needs it.
    std::vector<WORD> Words_;
    std::size_t CountAt_ = 0;
};

struct PasswordRequest {
    std::wstring Prompt;
    std::wstring Title;
    std::optional<std::wstring> Answer;
};

INT_PTR CALLBACK PasswordDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        const auto* request = reinterpret_cast<const PasswordRequest*>(lParam);
        ::SetWindowTextW(dialog, request->Title.c_str());
        ::SetDlgItemTextW(dialog, PasswordPromptId, request->Prompt.c_str());
        ::SetFocus(::GetDlgItem(dialog, PasswordFieldId));
        return FALSE; // the focus is set
    }
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (id != IDOK && id != IDCANCEL)
            return FALSE;
        auto* request = reinterpret_cast<PasswordRequest*>(::GetWindowLongPtrW(dialog, DWLP_USER));
        if (id == IDOK) {
            HWND field = ::GetDlgItem(dialog, PasswordFieldId);
            std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(field)) + 1, L'\0');
            text.resize(static_cast<std::size_t>(
                ::GetWindowTextW(field, text.data(), static_cast<int>(text.size()))));
            request->Answer = std::move(text);
        }
        ::EndDialog(dialog, id);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

} // namespace

std::optional<std::string> Win32Dialogs::AskPassword(const std::string& prompt, const std::string& title) {
    DialogTemplate form(DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU, 220, 82);
    // The prompt as plain text over up to four lines; the field masked, with OK as the default button.
    form.Control(0x82, SS_LEFT | SS_NOPREFIX, PasswordPromptId, 7, 7, 206, 34);
    form.Control(0x81, ES_PASSWORD | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, PasswordFieldId, 7, 43, 206,
                 13);
    form.Control(0x80, BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, 109, 62, 50, 14, WideText(Tr("OK")).c_str());
    form.Control(0x80, BS_PUSHBUTTON | WS_TABSTOP, IDCANCEL, 163, 62, 50, 14, WideText(Tr("Cancel")).c_str());
    PasswordRequest request{WideText(prompt), WideText(title), std::nullopt};
    const INT_PTR result = ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), form.Get(), Owner_,
                                                     PasswordDialogProc, reinterpret_cast<LPARAM>(&request));
    if (result != IDOK || !request.Answer)
        return std::nullopt;
    return Utf8Text(*request.Answer);
}

} // namespace zelo::win32
