#include "window/win32/Win32MonitorWindow.h"
#include "window/Catalogue.h"

#include "window/StandardError.h"
#include "window/win32/Win32Text.h"

#include <algorithm>

namespace zelo::win32 {

namespace {

constexpr const wchar_t* MonitorClass = L"ZeloMonitorWindow";
constexpr UINT_PTR TickTimer = 1;
enum ControlIds { IdLines = 100, IdFilter, IdPause, IdClear, IdSaveLog, IdNames, IdCount, IdStatus };

} // namespace

void LineList::Create(HWND parent, int id) {
    Control::Create(L"LISTBOX", {}, WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY,
                    WS_EX_CLIENTEDGE, parent, id);
}

void LineList::AppendLines(const std::vector<std::string>& lines) {
    if (lines.empty())
        return;
    HWND list = Handle();
    const int count = LineCount();
    // The newest stays in view only when the last line was in view before.
    RECT client{};
    ::GetClientRect(list, &client);
    const int itemHeight = std::max(1, static_cast<int>(::SendMessageW(list, LB_GETITEMHEIGHT, 0, 0)));
    const int top = static_cast<int>(::SendMessageW(list, LB_GETTOPINDEX, 0, 0));
    const bool atEnd = count == 0 || top + client.bottom / itemHeight >= count;
    ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    HDC dc = ::GetDC(list);
    const HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(list, WM_GETFONT, 0, 0)));
    for (const auto& line : lines) {
        const std::wstring text = WideText(line);
        ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        SIZE size{};
        if (::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size) &&
            size.cx > Widest_)
            Widest_ = size.cx;
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(list, dc);
    ::SendMessageW(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(Widest_ + 8), 0);
    if (atEnd)
        ::SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(LineCount() - 1), 0);
    ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(list, nullptr, TRUE);
}

void LineList::RemoveFirstLines(int count) {
    HWND list = Handle();
    ::SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    for (int i = 0; i < count && LineCount() > 0; ++i)
        ::SendMessageW(list, LB_DELETESTRING, 0, 0);
    ::SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(list, nullptr, TRUE);
}

void LineList::ClearLines() {
    ::SendMessageW(Handle(), LB_RESETCONTENT, 0, 0);
    Widest_ = 0;
    ::SendMessageW(Handle(), LB_SETHORIZONTALEXTENT, 0, 0);
}

int LineList::LineCount() const {
    return static_cast<int>(::SendMessageW(Handle(), LB_GETCOUNT, 0, 0));
}

std::string LineList::LineText(int index) const {
    const LRESULT length = ::SendMessageW(Handle(), LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR)
        return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    ::SendMessageW(Handle(), LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return Utf8Text(text);
}

void FilterField::Notified(int code) {
    // SetText from the program raises no change the logic hears of.
    if (code == EN_CHANGE && OnChange && ::GetFocus() == Handle())
        OnChange();
}

Win32MonitorWindow::Win32MonitorWindow(Dialogs& dialogs) {
    RegisterTopLevelClass(MonitorClass, OwnedWindowProc<Win32MonitorWindow>);
    ::CreateWindowExW(WS_EX_CONTROLPARENT, MonitorClass, WideText(MonitorCaption).c_str(),
                      WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
    const UINT dpi = WindowDpi(Handle_);
    Fonts_ = std::make_unique<FontSet>(dpi);
    Filter_.Create(Handle_, IdFilter);
    Pause_.Create(Handle_, IdPause, std::string(Tr("&Pause")));
    Clear_.Create(Handle_, IdClear, std::string(Tr("&Clear")));
    SaveLog_.Create(Handle_, IdSaveLog, std::string(Tr("&Save log...")));
    Names_.Create(Handle_, IdNames, std::string(Tr("&Names...")));
    Lines_.Create(Handle_, IdLines);
    Count_.Create(Handle_, IdCount, {});
    Status_.Create(Handle_, IdStatus, {});
    for (Control* control :
         std::initializer_list<Control*>{&Filter_, &Pause_, &Clear_, &SaveLog_, &Names_, &Count_, &Status_})
        control->SetFont(Fonts_->Message());
    Lines_.SetFont(Fonts_->Fixed());

    // In the order MonitorControls declares them.
    Logic_ = std::make_unique<MonitorWindow>(
        MonitorControls{this, &Lines_, &Filter_, &Pause_, &Clear_, &SaveLog_, &Names_, &Count_, &Status_},
        dialogs);
    Filter_.OnChange = [this] { Logic_->Run(&MonitorWindow::txtFilterChange); };
    Pause_.OnClick = [this] { Logic_->Run(&MonitorWindow::chkPauseClick); };
    Clear_.OnClick = [this] { Logic_->Run(&MonitorWindow::btnClearClick); };
    SaveLog_.OnClick = [this] { Logic_->Run(&MonitorWindow::btnSaveLogClick); };
    Names_.OnClick = [this] { Logic_->Run(&MonitorWindow::btnNamesClick); };

    RECT frame{0, 0, Scale(MonitorDesignSize.Width, dpi), Scale(MonitorDesignSize.Height, dpi)};
    ::AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, WS_EX_CONTROLPARENT);
    ::SetWindowPos(Handle_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ApplyLayout();
}

Win32MonitorWindow::~Win32MonitorWindow() {
    if (Handle_ != nullptr)
        ::KillTimer(Handle_, TickTimer);
    Logic_.reset();
    if (Handle_ != nullptr)
        ::DestroyWindow(Handle_);
}

LRESULT Win32MonitorWindow::Proc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (const std::optional<LRESULT> reflected = Control::Reflect(message, wParam, lParam))
        return *reflected;
    switch (message) {
    case WM_TIMER:
        if (wParam == TickTimer && Logic_)
            Logic_->Run(&MonitorWindow::Tick);
        return 0;
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED)
            ApplyLayout();
        return 0;
    case WM_CLOSE:
        // The window is hidden, not destroyed: the main window owns it and may show it again.
        if (Logic_)
            Logic_->Run(&MonitorWindow::FormClose);
        ::ShowWindow(Handle_, SW_HIDE);
        return 0;
    default:
        return ::DefWindowProcW(Handle_, message, wParam, lParam);
    }
}

void Win32MonitorWindow::Show() {
    ::ShowWindow(Handle_, SW_SHOWNORMAL);
    ::SetForegroundWindow(Handle_);
}

void Win32MonitorWindow::SetCaption(const std::string& caption) {
    SetWindowTextUtf8(Handle_, caption);
}

void Win32MonitorWindow::SetTicking(bool on) {
    if (on)
        ::SetTimer(Handle_, TickTimer, MonitorTickMs, nullptr);
    else
        ::KillTimer(Handle_, TickTimer);
}

void Win32MonitorWindow::ApplyLayout() {
    if (Handle_ == nullptr || Fonts_ == nullptr)
        return;
    const UINT dpi = WindowDpi(Handle_);
    RECT client{};
    ::GetClientRect(Handle_, &client);
    // Laid out in 96-dpi units, placed scaled to the window's DPI.
    const MonitorLayout l = LayOutMonitor({::MulDiv(client.right, 96, static_cast<int>(dpi)),
                                           ::MulDiv(client.bottom, 96, static_cast<int>(dpi))},
                                          24);
    const std::pair<Control*, layout::Rect> places[] = {
        {&Filter_, l.Filter}, {&Pause_, l.Pause}, {&Clear_, l.Clear}, {&SaveLog_, l.SaveLog},
        {&Names_, l.Names},   {&Lines_, l.Lines}, {&Count_, l.Count}, {&Status_, l.Status}};
    for (const auto& [control, r] : places)
        control->Place({Scale(r.X, dpi), Scale(r.Y, dpi), Scale(r.Right(), dpi), Scale(r.Bottom(), dpi)});
}

} // namespace zelo::win32
