#include "window/win32/Win32Form.h"
#include "window/Layout.h"
#include "window/win32/Win32Text.h"

#include <shellapi.h>

#include <algorithm>
#include <tuple>
#include <utility>

namespace zelo::win32 {

namespace {

const wchar_t* const FormClass = L"ZeloConfiguratorWindow";
constexpr UINT_PTR TickTimer = 1;
constexpr UINT TickMs = 250;

} // namespace

Form::~Form() {
    if (Shortcuts_ != nullptr)
        ::DestroyAcceleratorTable(Shortcuts_);
    if (Handle_ != nullptr) {
        ::SetWindowLongPtrW(Handle_, GWLP_USERDATA, 0);
        ::DestroyWindow(std::exchange(Handle_, nullptr));
    }
}

bool Form::Create(const std::string& caption, DWORD style) {
    RegisterTopLevelClass(FormClass, OwnedWindowProc<Form>);
    const std::wstring text = WideText(caption);
    ::CreateWindowExW(WS_EX_CONTROLPARENT | WS_EX_ACCEPTFILES, FormClass, text.c_str(),
                      style | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                      nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
    if (Handle_ != nullptr)
        ::SetTimer(Handle_, TickTimer, TickMs, nullptr);
    return Handle_ != nullptr;
}

void Form::SetShortcuts(const std::vector<Shortcut>& shortcuts) {
    std::vector<ACCEL> table;
    for (const Shortcut& shortcut : shortcuts)
        table.push_back({static_cast<BYTE>(FVIRTKEY | FCONTROL | (shortcut.Shift ? FSHIFT : 0)), shortcut.Key,
                         static_cast<WORD>(shortcut.Command)});
    if (Shortcuts_ != nullptr)
        ::DestroyAcceleratorTable(Shortcuts_);
    Shortcuts_ =
        table.empty() ? nullptr : ::CreateAcceleratorTableW(table.data(), static_cast<int>(table.size()));
}

LRESULT Form::Proc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (const std::optional<LRESULT> reflected = Control::Reflect(message, wParam, lParam))
        return *reflected;
    switch (message) {
    case WM_COMMAND:
        // A shortcut's command (from the accelerator table, not from a control).
        if (HIWORD(wParam) == 1 && lParam == 0) {
            if (OnShortcut) {
                const int command = LOWORD(wParam);
                RunHandler([&] { OnShortcut(command); });
            }
            return 0;
        }
        // Escape, which the dialog keys send as IDCANCEL without a control.
        if (HIWORD(wParam) == 0 && LOWORD(wParam) == IDCANCEL && lParam == 0) {
            RunHandler(OnEscape);
            return 0;
        }
        break;
    case WM_DROPFILES: {
        auto* drop = reinterpret_cast<HDROP>(wParam);
        std::vector<std::string> files;
        const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            std::wstring file(::DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
            file.resize(::DragQueryFileW(drop, i, file.data(), static_cast<UINT>(file.size())));
            files.push_back(Utf8Text(file));
        }
        ::DragFinish(drop);
        if (OnFilesDropped && !files.empty())
            RunHandler([&] { OnFilesDropped(files); });
        return 0;
    }
    case WM_QUERYENDSESSION: {
        bool end = true;
        if (OnQueryEndSession)
            RunHandler([&] { end = OnQueryEndSession(); });
        return end ? TRUE : FALSE;
    }
    case WM_ENDSESSION:
        // Once this returns the process may end at any moment: whatever is to be kept is kept in here.
        if (wParam != FALSE)
            RunHandler(OnEndSession);
        return 0;
    case WM_TIMER:
        if (wParam == TickTimer) {
            RunHandler(OnTick);
            return 0;
        }
        break;
    case WM_CLOSE: {
        // The window stays until its owner has shut the logic down, which may still use the controls.
        bool close = true;
        if (OnCloseRequest)
            RunHandler([&] { close = OnCloseRequest(); });
        if (close)
            Terminate();
        return 0;
    }
    case WM_DESTROY:
        Terminate();
        return 0;
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED) {
            UpdateScrollBars();
            RunHandler(OnLayout);
        }
        return 0;
    case WM_VSCROLL:
        Scroll(SB_VERT, LOWORD(wParam), 0);
        return 0;
    case WM_HSCROLL:
        Scroll(SB_HORZ, LOWORD(wParam), 0);
        return 0;
    case WM_MOUSEWHEEL:
        if (Content_.cy > ClientSize().cy) {
            Scroll(SB_VERT, SB_THUMBPOSITION, GET_WHEEL_DELTA_WPARAM(wParam));
            return 0;
        }
        break;
    case WM_ACTIVATE:
        // Like a dialog: the control that had the focus gets it back when the window is active again.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = ::GetFocus();
            if (focus != nullptr && ::IsChild(Handle_, focus))
                LastFocus_ = focus;
        } else if (LastFocus_ != nullptr && ::IsWindow(LastFocus_) && ::IsChild(Handle_, LastFocus_)) {
            MoveFocus(LastFocus_);
            return 0;
        }
        break;
    case WM_SETCURSOR:
        if (Wait_) {
            ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case 0x02E0: { // WM_DPICHANGED
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        ::SetWindowPos(Handle_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                       suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        if (OnDpiChanged) {
            const UINT dpi = HIWORD(wParam);
            RunHandler([&] { OnDpiChanged(dpi); });
        }
        return 0;
    }
    default:
        break;
    }
    return ::DefWindowProcW(Handle_, message, wParam, lParam);
}

void Form::SetFont(HFONT font) {
    SetWindowFont(Handle_, font, false);
}

SIZE Form::ClientSize() const {
    RECT client{};
    if (Handle_ != nullptr)
        ::GetClientRect(Handle_, &client);
    return SIZE{client.right - client.left, client.bottom - client.top};
}

SIZE Form::FrameSize() const {
    RECT frame{0, 0, 100, 100};
    if (Handle_ == nullptr)
        return SIZE{0, 0};
    const DWORD style = static_cast<DWORD>(::GetWindowLongPtrW(Handle_, GWL_STYLE)) &
                        ~static_cast<DWORD>(WS_VSCROLL | WS_HSCROLL);
    const DWORD exStyle = static_cast<DWORD>(::GetWindowLongPtrW(Handle_, GWL_EXSTYLE));
    using AdjustForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = reinterpret_cast<AdjustForDpiFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
    if (adjustForDpi != nullptr)
        adjustForDpi(&frame, style, FALSE, exStyle, Dpi());
    else
        ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    return SIZE{frame.right - frame.left - 100, frame.bottom - frame.top - 100};
}

RECT Form::WorkArea() const {
    RECT work{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (::GetMonitorInfoW(::MonitorFromWindow(Handle_, MONITOR_DEFAULTTOPRIMARY), &monitor))
        work = monitor.rcWork;
    else
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

void Form::FitAndCenter(SIZE client) {
    if (Handle_ == nullptr)
        return;
    const SIZE frame = FrameSize();
    const RECT work = WorkArea();
    const layout::Placement place =
        layout::FitToArea({work.left, work.top, work.right - work.left, work.bottom - work.top},
                          {frame.cx, frame.cy}, {client.cx, client.cy});
    ::SetWindowPos(Handle_, nullptr, place.X, place.Y, place.Client.Width + frame.cx,
                   place.Client.Height + frame.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Form::PlaceIfItFits(const layout::Placement& placement) {
    if (Handle_ == nullptr)
        return false;
    const SIZE frame = FrameSize();
    const RECT work = WorkArea();
    if (!layout::FitsArea({work.left, work.top, work.right - work.left, work.bottom - work.top},
                          {frame.cx, frame.cy}, placement))
        return false;
    ::SetWindowPos(Handle_, nullptr, placement.X, placement.Y, placement.Client.Width + frame.cx,
                   placement.Client.Height + frame.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    return true;
}

std::optional<layout::Placement> Form::Placement() const {
    if (Handle_ == nullptr || !::IsWindowVisible(Handle_) || ::IsIconic(Handle_))
        return std::nullopt;
    RECT window{};
    ::GetWindowRect(Handle_, &window);
    // The content's size: scroll bars shown on a small window are the frame's, not the user's choice.
    const SIZE frame = FrameSize();
    return layout::Placement{window.left,
                             window.top,
                             {window.right - window.left - frame.cx, window.bottom - window.top - frame.cy}};
}

void Form::SetContentSize(SIZE content) {
    Content_ = content;
    UpdateScrollBars();
}

void Form::UpdateScrollBars() {
    if (Handle_ == nullptr || InScrollUpdate_)
        return;
    // Showing one bar takes room from the other direction: settle both in a couple of rounds.
    InScrollUpdate_ = true;
    for (int round = 0; round < 3; ++round) {
        const SIZE client = ClientSize();
        bool changed = false;
        for (const auto& [bar, extent, page, offset] :
             {std::tuple{SB_HORZ, Content_.cx, client.cx, &Offset_.x},
              std::tuple{SB_VERT, Content_.cy, client.cy, &Offset_.y}}) {
            const int limit = std::max(0L, static_cast<long>(extent) - page);
            const int clamped = std::clamp(static_cast<int>(*offset), 0, limit);
            if (clamped != *offset) {
                *offset = clamped;
                changed = true;
            }
            SCROLLINFO info{};
            info.cbSize = sizeof info;
            info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
            info.nMin = 0;
            info.nMax = limit > 0 ? extent - 1 : 0;
            info.nPage = limit > 0 ? static_cast<UINT>(page) : 0;
            info.nPos = static_cast<int>(*offset);
            ::SetScrollInfo(Handle_, bar, &info, TRUE);
        }
        if (!changed && ClientSize().cx == client.cx && ClientSize().cy == client.cy)
            break;
    }
    InScrollUpdate_ = false;
}

void Form::Scroll(int bar, int request, int wheelDelta) {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    ::GetScrollInfo(Handle_, bar, &info);
    const int line = Scale(16, Dpi());
    const int page = static_cast<int>(std::max(1u, info.nPage));
    int position = info.nPos;
    if (wheelDelta != 0)
        position -= ::MulDiv(wheelDelta, 3 * line, WHEEL_DELTA);
    else {
        switch (request) {
        case SB_LINEUP:
            position -= line;
            break;
        case SB_LINEDOWN:
            position += line;
            break;
        case SB_PAGEUP:
            position -= page;
            break;
        case SB_PAGEDOWN:
            position += page;
            break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION:
            position = info.nTrackPos;
            break;
        case SB_TOP:
            position = info.nMin;
            break;
        case SB_BOTTOM:
            position = info.nMax;
            break;
        default:
            break;
        }
    }
    const int limit = std::max(0, info.nMax - page + 1);
    position = std::clamp(position, 0, limit);
    LONG& offset = bar == SB_VERT ? Offset_.y : Offset_.x;
    if (position == offset)
        return;
    offset = position;
    ::SetScrollPos(Handle_, bar, position, TRUE);
    RunHandler(OnLayout);
}

void Form::SetWaitCursor(bool wait) {
    Wait_ = wait;
    POINT point{};
    ::GetCursorPos(&point);
    HWND under = ::WindowFromPoint(point);
    if (!wait && under != nullptr && (under == Handle_ || ::IsChild(Handle_, under))) {
        // Let the control under the mouse choose its cursor again.
        ::SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under),
                       MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        return;
    }
    ::SetCursor(::LoadCursorW(nullptr, wait ? IDC_WAIT : IDC_ARROW));
}

bool Form::DialogKeys(MSG& message) {
    return Handle_ != nullptr && ::IsDialogMessageW(Handle_, &message);
}

void Form::Dispatch(MSG& message) {
    // Shortcuts first (Ctrl+S in a field is the window's), then the dialog keys, then the controls.
    if (Shortcuts_ != nullptr && Handle_ != nullptr && ::TranslateAcceleratorW(Handle_, Shortcuts_, &message))
        return;
    if (!DialogKeys(message)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

void Form::ProcessPendingEvents() {
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // For the message loop to see.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        Dispatch(message);
    }
}

int Form::Run() {
    MSG message{};
    for (;;) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1)
            break;
        Dispatch(message);
    }
    return message.message == WM_QUIT ? static_cast<int>(message.wParam) : 0;
}

void Form::Close() {
    if (Handle_ != nullptr)
        ::PostMessageW(Handle_, WM_CLOSE, 0, 0);
}

void Form::Terminate() {
    ::PostQuitMessage(0);
}

} // namespace zelo::win32
