#include "window/win32/Win32Control.h"
#include "window/Layout.h"
#include "window/win32/Win32Panel.h"
#include "window/win32/Win32Text.h"

#include <algorithm>
#include <cwchar>
#include <utility>
#include <vector>

namespace zelo::win32 {

namespace {

constexpr UINT_PTR SubclassId = 0x7A656C6F; // "zelo"
// The wrapper of a control window, found from its handle.
const wchar_t* const ControlProperty = L"zelo.control";

std::function<void()>& ErrorDisplay() {
    static std::function<void()> display;
    return display;
}

int FocusMoves = 0; // the GUI thread only

template <typename Function> Function Procedure(const char* name) {
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    if (user32 == nullptr)
        return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(user32, name)));
}

} // namespace

void RunHandler(const std::function<void()>& handler) {
    if (!handler)
        return;
    try {
        handler();
    } catch (...) {
        if (ErrorDisplay()) {
            try {
                ErrorDisplay()();
            } catch (...) {
                // Nothing may unwind into Windows; a display that fails has nothing left to say.
            }
        }
    }
}

bool RegisterWindowClass(const wchar_t* name, WNDPROC procedure, HICON icon) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.hIcon = icon;
    windowClass.lpszClassName = name;
    return ::RegisterClassExW(&windowClass) != 0;
}

void RegisterTopLevelClass(const wchar_t* name, WNDPROC procedure) {
    HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
    RegisterWindowClass(name, procedure, icon != nullptr ? icon : ::LoadIconW(nullptr, IDI_APPLICATION));
}

void SetHandlerErrorDisplay(std::function<void()> display) {
    ErrorDisplay() = std::move(display);
}

UINT WindowDpi(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto forWindow = Procedure<GetDpiForWindowFn>("GetDpiForWindow");
    if (forWindow != nullptr && window != nullptr) {
        const UINT dpi = forWindow(window);
        if (dpi != 0)
            return dpi;
    }
    HDC screen = ::GetDC(nullptr);
    const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen != nullptr)
        ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

int Scale(int length, UINT dpi) {
    return ::MulDiv(length, static_cast<int>(dpi), 96);
}

FontSet::FontSet(UINT dpi) {
    using ForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
    static const auto forDpi = Procedure<ForDpiFn>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    bool found = false;
    if (forDpi != nullptr)
        found = forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi) != 0;
    if (!found && ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        // Sizes for the system's DPI: brought to the window's.
        const UINT systemDpi = WindowDpi(nullptr);
        metrics.lfMessageFont.lfHeight =
            ::MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi), static_cast<int>(systemDpi));
        found = true;
    }
    if (!found) {
        metrics.lfMessageFont.lfHeight = -::MulDiv(9, static_cast<int>(dpi), 72);
        metrics.lfMessageFont.lfWeight = FW_NORMAL;
        metrics.lfMessageFont.lfCharSet = DEFAULT_CHARSET;
        std::wcscpy(metrics.lfMessageFont.lfFaceName, L"Segoe UI");
    }
    MessageLog_ = metrics.lfMessageFont;
    Message_ = ::CreateFontIndirectW(&MessageLog_);

    LOGFONTW bold = MessageLog_;
    bold.lfWeight = FW_BOLD;
    bold.lfHeight = -::MulDiv(10, static_cast<int>(dpi), 72);
    CaptionBold_ = ::CreateFontIndirectW(&bold);

    LOGFONTW fixed{};
    fixed.lfHeight = MessageLog_.lfHeight;
    fixed.lfWeight = FW_NORMAL;
    fixed.lfCharSet = DEFAULT_CHARSET;
    fixed.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    std::wcscpy(fixed.lfFaceName, L"Consolas");
    Fixed_ = ::CreateFontIndirectW(&fixed);
}

FontSet::~FontSet() {
    for (HFONT font : {Message_, CaptionBold_, Fixed_})
        if (font != nullptr)
            ::DeleteObject(font);
}

// ---- Control ----

Control::~Control() {
    if (Handle_ != nullptr) {
        HWND window = std::exchange(Handle_, nullptr);
        ::RemovePropW(window, ControlProperty);
        ::RemoveWindowSubclass(window, SubclassProc, SubclassId);
        ::DestroyWindow(window);
    }
}

void Control::Create(const wchar_t* windowClass, const std::string& text, DWORD style, DWORD exStyle,
                     HWND parent, int id) {
    const std::wstring caption = WideText(text);
    HWND window = ::CreateWindowExW(exStyle, windowClass, caption.c_str(), style | WS_CHILD | WS_VISIBLE, 0,
                                    0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                    ::GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr)
        return;
    Handle_ = window;
    ::SetPropW(window, ControlProperty, this);
    ::SetWindowSubclass(window, SubclassProc, SubclassId, reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CALLBACK Control::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR self) {
    auto* control = reinterpret_cast<Control*>(self);
    if (message == WM_NCDESTROY) {
        ::RemovePropW(window, ControlProperty);
        ::RemoveWindowSubclass(window, SubclassProc, SubclassId);
        control->Handle_ = nullptr;
        return ::DefSubclassProc(window, message, wParam, lParam);
    }
    return control->Proc(message, wParam, lParam);
}

LRESULT Control::Proc(UINT message, WPARAM wParam, LPARAM lParam) {
    return Default(message, wParam, lParam);
}

LRESULT Control::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefSubclassProc(Handle_, message, wParam, lParam);
}

Control* Control::Of(HWND window) {
    return window != nullptr ? static_cast<Control*>(::GetPropW(window, ControlProperty)) : nullptr;
}

std::optional<LRESULT> Control::Reflect(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        // The dialog keys send IDOK and IDCANCEL with the focused control in lParam: no notification of it.
        if (lParam != 0 && LOWORD(wParam) == ::GetDlgCtrlID(reinterpret_cast<HWND>(lParam))) {
            if (Control* control = Of(reinterpret_cast<HWND>(lParam))) {
                control->Notified(HIWORD(wParam));
                return 0;
            }
        }
        return std::nullopt;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (Control* control = Of(item->hwndItem)) {
            if (control->Draw(*item))
                return TRUE;
        }
        return std::nullopt;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
        if (Control* control = Of(reinterpret_cast<HWND>(lParam))) {
            if (HBRUSH brush = control->Colors(reinterpret_cast<HDC>(wParam)))
                return reinterpret_cast<LRESULT>(brush);
        }
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

bool Control::ProgramMovesFocus() {
    return FocusMoves > 0;
}

int Control::Id() const {
    return Handle_ != nullptr ? ::GetDlgCtrlID(Handle_) : 0;
}

bool Control::Enabled() const {
    if (const Panel* panel = Panel::DisabledAround(Handle_))
        return panel->OwnState(Handle_);
    return Handle_ != nullptr && ::IsWindowEnabled(Handle_);
}

void Control::SetEnabled(bool enabled) {
    if (Panel* panel = Panel::DisabledAround(Handle_))
        panel->KeepState(Handle_, enabled);
    else if (Handle_ != nullptr)
        ::EnableWindow(Handle_, enabled ? TRUE : FALSE);
}

bool Control::Visible() const {
    return Handle_ != nullptr && (::GetWindowLongPtrW(Handle_, GWL_STYLE) & WS_VISIBLE) != 0;
}

void Control::SetVisible(bool visible) {
    if (Handle_ != nullptr)
        ::ShowWindow(Handle_, visible ? SW_SHOWNA : SW_HIDE);
}

LRESULT Control::Send(UINT message, WPARAM wParam, LPARAM lParam) const {
    return Handle_ != nullptr ? ::SendMessageW(Handle_, message, wParam, lParam) : 0;
}

std::string Control::ListItemText(UINT lengthMessage, UINT textMessage, int index) const {
    const auto length = Send(lengthMessage, static_cast<WPARAM>(index));
    if (length <= 0)
        return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const auto copied = Send(textMessage, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(std::max<LRESULT>(copied, 0)));
    return Utf8Text(text);
}

void SetWindowFont(HWND window, HFONT font, bool redraw) {
    if (window != nullptr)
        ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw ? TRUE : FALSE);
}

void Control::Place(const RECT& rect) {
    if (Handle_ != nullptr)
        ::SetWindowPos(Handle_, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
}

void Control::Focus() {
    MoveFocus(Handle_);
}

void MoveFocus(HWND window) {
    if (window == nullptr)
        return;
    ++FocusMoves;
    ::SetFocus(window);
    --FocusMoves;
}

} // namespace zelo::win32
