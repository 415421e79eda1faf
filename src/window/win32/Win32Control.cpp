#include "window/win32/Win32Control.h"
#include "window/Layout.h"
#include "window/win32/Win32Text.h"

#include <algorithm>
#include <cwchar>
#include <utility>
#include <vector>

namespace zelo::win32 {

namespace {

// Posted by an edit field to itself when it has been left: judged once the focus change is over, since a
// box shown in the middle of WM_KILLFOCUS would upset where the focus ends up.
constexpr UINT WmFieldLeft = WM_APP + 0x101;
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

const wchar_t* const PanelClass = L"ZeloPanel";

LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (Control::Reflect(message, wParam, lParam, result))
        return result;
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void RegisterPanelClass() {
    static const bool registered = [] {
        WNDCLASSEXW panel{};
        panel.cbSize = sizeof panel;
        panel.lpfnWndProc = PanelProc;
        panel.hInstance = ::GetModuleHandleW(nullptr);
        panel.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        panel.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        panel.lpszClassName = PanelClass;
        return ::RegisterClassExW(&panel) != 0;
    }();
    (void)registered;
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
    const std::wstring caption = Widen(text);
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

bool Control::Reflect(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_COMMAND:
        // The dialog keys send IDOK and IDCANCEL with the focused control in lParam: no notification of it.
        if (lParam != 0 && LOWORD(wParam) == ::GetDlgCtrlID(reinterpret_cast<HWND>(lParam))) {
            if (Control* control = Of(reinterpret_cast<HWND>(lParam))) {
                control->Notified(HIWORD(wParam));
                result = 0;
                return true;
            }
        }
        return false;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (Control* control = Of(item->hwndItem)) {
            if (control->Draw(*item)) {
                result = TRUE;
                return true;
            }
        }
        return false;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
        if (Control* control = Of(reinterpret_cast<HWND>(lParam))) {
            if (HBRUSH brush = control->Colors(reinterpret_cast<HDC>(wParam))) {
                result = reinterpret_cast<LRESULT>(brush);
                return true;
            }
        }
        return false;
    default:
        return false;
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

std::string Control::Text() const {
    return WindowText(Handle_);
}

void Control::SetText(const std::string& text) {
    SetWindowTextUtf8(Handle_, text);
}

void Control::SetFont(HFONT font) {
    if (Handle_ != nullptr)
        ::SendMessageW(Handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
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

// ---- Panel ----

void Panel::Create(HWND parent, int id) {
    RegisterPanelClass();
    Control::Create(PanelClass, {}, WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT, parent, id);
}

bool Panel::Enabled() const {
    return Handle() != nullptr && !Disabled_;
}

void Panel::SetEnabled(bool enabled) {
    if (Handle() == nullptr || enabled == !Disabled_)
        return;
    if (!enabled) {
        // A disabled window's children would still be drawn as usable: they are disabled too.
        for (HWND child = ::GetWindow(Handle(), GW_CHILD); child != nullptr;
             child = ::GetWindow(child, GW_HWNDNEXT)) {
            Own_.emplace_back(child, ::IsWindowEnabled(child) != FALSE);
            ::EnableWindow(child, FALSE);
        }
        Disabled_ = true;
        ::EnableWindow(Handle(), FALSE);
        return;
    }
    Disabled_ = false;
    ::EnableWindow(Handle(), TRUE);
    for (const auto& [child, own] : std::exchange(Own_, {}))
        if (::IsWindow(child))
            ::EnableWindow(child, own ? TRUE : FALSE);
}

Panel* Panel::DisabledAround(HWND control) {
    if (control == nullptr)
        return nullptr;
    auto* panel = dynamic_cast<Panel*>(Control::Of(::GetParent(control)));
    return panel != nullptr && panel->Disabled_ ? panel : nullptr;
}

bool Panel::OwnState(HWND control) const {
    for (const auto& [child, own] : Own_)
        if (child == control)
            return own;
    return ::IsWindowEnabled(control) != FALSE;
}

void Panel::KeepState(HWND control, bool enabled) {
    for (auto& [child, own] : Own_)
        if (child == control) {
            own = enabled;
            return;
        }
    Own_.emplace_back(control, enabled);
}

// ---- EditField ----

void EditField::Create(HWND parent, int id, DWORD extraStyle) {
    Control::Create(L"EDIT", {}, WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL | extraStyle, 0, parent, id);
}

namespace {

// Fields left whose judgement is still to come, in the order they were left.
std::vector<EditField*>& LeftFields() {
    static std::vector<EditField*> fields;
    return fields;
}

// Takes a field off the list; true when it was on it.
bool TakeLeft(EditField* field) {
    auto& fields = LeftFields();
    const auto found = std::find(fields.begin(), fields.end(), field);
    if (found == fields.end())
        return false;
    fields.erase(found);
    return true;
}

} // namespace

EditField::~EditField() {
    TakeLeft(this);
}

bool EditField::JudgeLeftFields() {
    bool judged = false;
    while (!LeftFields().empty()) {
        EditField* field = LeftFields().front();
        LeftFields().erase(LeftFields().begin());
        RunHandler(field->OnLeave);
        judged = true;
    }
    return judged;
}

LRESULT EditField::Proc(UINT message, WPARAM wParam, LPARAM lParam) {
    // The text centred in the field's height, as in Windows' own fields: the client area is one line high,
    // the rest above and below it is drawn as the field's background.
    if (message == WM_NCCALCSIZE && wParam != FALSE) {
        const LRESULT result = Default(message, wParam, lParam);
        RECT& client = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0];
        TEXTMETRICW metrics{};
        if (HDC dc = ::GetDC(Handle())) {
            HGDIOBJ old =
                ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(Handle(), WM_GETFONT, 0, 0)));
            ::GetTextMetricsW(dc, &metrics);
            ::SelectObject(dc, old);
            ::ReleaseDC(Handle(), dc);
        }
        const LONG spare = client.bottom - client.top - metrics.tmHeight;
        if (metrics.tmHeight > 0 && spare > 1) {
            client.top += spare / 2;
            client.bottom -= spare - spare / 2;
        }
        return result;
    }
    if (message == WM_NCPAINT) {
        const LRESULT result = Default(message, wParam, lParam);
        RECT window{};
        RECT client{};
        ::GetWindowRect(Handle(), &window);
        ::GetClientRect(Handle(), &client);
        ::MapWindowPoints(Handle(), nullptr, reinterpret_cast<POINT*>(&client), 2);
        ::OffsetRect(&client, -window.left, -window.top);
        if (HDC dc = ::GetWindowDC(Handle())) {
            const LONG border = client.left; // the frame's width, the same on every side
            HBRUSH brush = ::GetSysColorBrush(::IsWindowEnabled(Handle()) ? COLOR_WINDOW : COLOR_BTNFACE);
            const RECT above{border, border, client.right, client.top};
            const RECT below{border, client.bottom, client.right, window.bottom - window.top - border};
            ::FillRect(dc, &above, brush);
            ::FillRect(dc, &below, brush);
            ::ReleaseDC(Handle(), dc);
        }
        return result;
    }
    if (message == WM_NCHITTEST) {
        // A click above or below the text line is a click into the field.
        const LRESULT hit = Default(message, wParam, lParam);
        return hit == HTBORDER || hit == HTNOWHERE ? HTCLIENT : hit;
    }
    if (message == WM_SETFONT) {
        const LRESULT result = Default(message, wParam, lParam);
        ::SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        return result;
    }
    if (message == WM_KILLFOCUS && OnLeave && !ProgramMovesFocus()) {
        const HWND next = reinterpret_cast<HWND>(wParam);
        // Only a move to another control of this window leaves the field.
        if (next != nullptr && next != Handle() && ::IsChild(::GetAncestor(Handle(), GA_ROOT), next)) {
            TakeLeft(this);
            LeftFields().push_back(this);
            ::PostMessageW(Handle(), WmFieldLeft, 0, 0);
        }
    } else if (message == WmFieldLeft) {
        if (TakeLeft(this))
            RunHandler(OnLeave);
        return 0;
    }
    return Default(message, wParam, lParam);
}

// ---- Buttons ----

void Button::Create(HWND parent, int id, const std::string& caption) {
    Control::Create(L"BUTTON", caption, WS_TABSTOP | BS_PUSHBUTTON, 0, parent, id);
}

void Button::Notified(int code) {
    if (code != BN_CLICKED)
        return;
    // A field refused on being left takes the focus back: the click that left it does not happen, as with
    // the mouse, where the refusal's box takes the press away from the button.
    if (EditField::JudgeLeftFields() && ::GetFocus() != Handle())
        return;
    RunHandler(OnClick);
}

void CheckBox::Create(HWND parent, int id, const std::string& caption) {
    Control::Create(L"BUTTON", caption, WS_TABSTOP | BS_AUTOCHECKBOX, 0, parent, id);
}

bool CheckBox::Checked() const {
    return Handle() != nullptr && ::SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void CheckBox::SetChecked(bool checked) {
    if (Handle() != nullptr)
        ::SendMessageW(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void CheckBox::Notified(int code) {
    if (code != BN_CLICKED)
        return;
    EditField::JudgeLeftFields();
    RunHandler(OnClick);
}

void RadioButton::Create(HWND parent, int id, const std::string& caption, bool firstOfGroup) {
    Control::Create(L"BUTTON", caption, BS_AUTORADIOBUTTON | (firstOfGroup ? WS_GROUP | WS_TABSTOP : 0), 0,
                    parent, id);
}

bool RadioButton::Checked() const {
    return Handle() != nullptr && ::SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void RadioButton::SetChecked(bool checked) {
    if (Handle() != nullptr)
        ::SendMessageW(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void RadioButton::Notified(int code) {
    if (code != BN_CLICKED)
        return;
    EditField::JudgeLeftFields();
    RunHandler(OnClick);
}

void RadioGroup::FrameControl::Create(HWND parent, int id, const std::string& caption) {
    Control::Create(L"BUTTON", caption, BS_GROUPBOX, 0, parent, id);
}

void RadioGroup::Create(HWND parent, int frameId, const std::vector<int>& itemIds, const std::string& caption,
                        const std::vector<std::string>& items) {
    Items_.clear();
    // The buttons before their frame: the frame lies beneath them and the Tab key meets the buttons only.
    for (std::size_t i = 0; i < items.size() && i < itemIds.size(); ++i) {
        auto item = std::make_unique<RadioButton>();
        item->Create(parent, itemIds[i], items[i], i == 0);
        const int index = static_cast<int>(i);
        item->OnClick = [this, index] {
            if (OnClick)
                OnClick(index);
        };
        Items_.push_back(std::move(item));
    }
    Frame_.Create(parent, frameId, caption);
}

int RadioGroup::ItemIndex() const {
    for (std::size_t i = 0; i < Items_.size(); ++i)
        if (Items_[i]->Checked())
            return static_cast<int>(i);
    return -1;
}

void RadioGroup::SetItemIndex(int index) {
    for (std::size_t i = 0; i < Items_.size(); ++i)
        Items_[i]->SetChecked(static_cast<int>(i) == index);
}

bool RadioGroup::Enabled() const {
    return Frame_.Enabled();
}

void RadioGroup::SetFocus() {
    const int index = ItemIndex();
    if (!Items_.empty())
        Items_[static_cast<std::size_t>(index >= 0 ? index : 0)]->Focus();
}

void RadioGroup::SetEnabled(bool enabled) {
    Frame_.SetEnabled(enabled);
    for (auto& item : Items_)
        item->SetEnabled(enabled);
}

bool RadioGroup::Visible() const {
    return Frame_.Visible();
}

void RadioGroup::SetVisible(bool visible) {
    Frame_.SetVisible(visible);
    for (auto& item : Items_)
        item->SetVisible(visible);
}

void RadioGroup::SetFont(HFONT font) {
    Frame_.SetFont(font);
    for (auto& item : Items_)
        item->SetFont(font);
}

// ---- ComboBox ----

void ComboBox::Create(HWND parent, int id, bool editable) {
    Control::Create(L"COMBOBOX", {},
                    WS_TABSTOP | WS_VSCROLL | (editable ? CBS_DROPDOWN | CBS_AUTOHSCROLL : CBS_DROPDOWNLIST),
                    0, parent, id);
}

void ComboBox::SetItems(const std::vector<std::string>& items) {
    if (Handle() == nullptr)
        return;
    ::SendMessageW(Handle(), WM_SETREDRAW, FALSE, 0);
    ::SendMessageW(Handle(), CB_RESETCONTENT, 0, 0);
    for (const std::string& item : items)
        ::SendMessageW(Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(item).c_str()));
    ::SendMessageW(Handle(), WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(Handle(), nullptr, TRUE);
    // The open list shows every entry whole, also one wider than the field.
    ::SendMessageW(Handle(), CB_SETDROPPEDWIDTH, static_cast<WPARAM>(WidestItemWidth()), 0);
}

int ComboBox::ItemCount() const {
    return Handle() != nullptr ? static_cast<int>(::SendMessageW(Handle(), CB_GETCOUNT, 0, 0)) : 0;
}

std::string ComboBox::ItemText(int index) const {
    if (Handle() == nullptr || index < 0 || index >= ItemCount())
        return {};
    const auto length = ::SendMessageW(Handle(), CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length <= 0)
        return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const auto copied = ::SendMessageW(Handle(), CB_GETLBTEXT, static_cast<WPARAM>(index),
                                       reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(std::max<LRESULT>(copied, 0)));
    return Narrow(text);
}

int ComboBox::ItemIndex() const {
    return Handle() != nullptr ? static_cast<int>(::SendMessageW(Handle(), CB_GETCURSEL, 0, 0)) : -1;
}

void ComboBox::SetItemIndex(int index) {
    if (Handle() != nullptr)
        ::SendMessageW(Handle(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int ComboBox::WidestItemWidth() const {
    if (Handle() == nullptr)
        return 0;
    int widest = 0;
    if (HDC dc = ::GetDC(Handle())) {
        HFONT font = reinterpret_cast<HFONT>(::SendMessageW(Handle(), WM_GETFONT, 0, 0));
        HGDIOBJ old = font != nullptr ? ::SelectObject(dc, font) : nullptr;
        for (int i = 0; i < ItemCount(); ++i) {
            const std::wstring text = Widen(ItemText(i));
            SIZE size{};
            if (::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size))
                widest = std::max(widest, static_cast<int>(size.cx));
        }
        if (old != nullptr)
            ::SelectObject(dc, old);
        ::ReleaseDC(Handle(), dc);
    }
    const UINT dpi = WindowDpi(Handle());
    // The arrow button, the frame and a little room either side of the text.
    return widest + ::GetSystemMetrics(SM_CXVSCROLL) * static_cast<int>(dpi) / 96 + Scale(12, dpi);
}

void ComboBox::Notified(int code) {
    if (code == CBN_SELCHANGE)
        RunHandler(OnChange);
    else if (code == CBN_DROPDOWN)
        RunHandler(OnDropDown);
    else if (code == CBN_KILLFOCUS && OnLeave && !ProgramMovesFocus())
        // Judged once the focus has arrived, which comes before the click that moved it.
        ::PostMessageW(Handle(), WmFieldLeft, 0, 0);
}

LRESULT ComboBox::Proc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WmFieldLeft)
        return Default(message, wParam, lParam);
    const HWND focus = ::GetFocus();
    if (focus != nullptr && focus != Handle() && !::IsChild(Handle(), focus) &&
        ::IsChild(::GetAncestor(Handle(), GA_ROOT), focus))
        RunHandler(OnLeave);
    return 0;
}

// ---- Labels ----

void Label::Create(HWND parent, int id, const std::string& text, DWORD align) {
    Control::Create(L"STATIC", text, align | SS_NOPREFIX | SS_CENTERIMAGE, 0, parent, id);
}

void Label::RepaintNow() {
    if (Handle() != nullptr)
        ::RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CaptionBar::Create(HWND parent, int id, const std::string& text) {
    Control::Create(L"STATIC", text, SS_OWNERDRAW, 0, parent, id);
}

bool CaptionBar::Draw(const DRAWITEMSTRUCT& item) {
    RECT area = item.rcItem;
    ::FillRect(item.hDC, &area, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    ::DrawEdge(item.hDC, &area, BDR_SUNKENOUTER, BF_RECT);
    area.left += Indent_;
    area.right -= Indent_;
    const std::wstring text = Widen(Text());
    const int saved = ::SaveDC(item.hDC);
    if (HFONT font = reinterpret_cast<HFONT>(::SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)))
        ::SelectObject(item.hDC, font);
    ::SetBkMode(item.hDC, TRANSPARENT);
    ::SetTextColor(item.hDC, RGB(255, 255, 255));
    ::DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &area,
                DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    ::RestoreDC(item.hDC, saved);
    return true;
}

// ---- Gauge ----

int GaugePercent(int minimum, int maximum, int position) {
    if (maximum <= minimum)
        return 0;
    const long long span = static_cast<long long>(maximum) - minimum;
    const long long done = std::clamp<long long>(static_cast<long long>(position) - minimum, 0, span);
    return static_cast<int>(done * 100 / span);
}

void Gauge::Create(HWND parent, int id) {
    Control::Create(L"STATIC", {}, SS_OWNERDRAW, 0, parent, id);
}

void Gauge::SetMinimum(int value) {
    Minimum_ = value;
    Changed();
}

void Gauge::SetMaximum(int value) {
    Maximum_ = value;
    Changed();
}

void Gauge::SetPosition(int value) {
    Position_ = value;
    Changed();
}

void Gauge::Changed() {
    if (Handle() != nullptr)
        ::InvalidateRect(Handle(), nullptr, FALSE);
}

void Gauge::RepaintNow() {
    if (Handle() != nullptr)
        ::RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

bool Gauge::Draw(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    RECT frame = item.rcItem;
    ::FrameRect(dc, &frame, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    RECT inner = frame;
    ::InflateRect(&inner, -1, -1);
    const int percent = Percent();
    RECT done = inner;
    done.right = inner.left + ::MulDiv(inner.right - inner.left, percent, 100);
    RECT rest = inner;
    rest.left = done.right;
    ::FillRect(dc, &done, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    ::FillRect(dc, &rest, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));

    // The text in black over the white part and in white over the black part.
    const std::wstring text = std::to_wstring(percent) + L"%";
    const int saved = ::SaveDC(dc);
    if (HFONT font = reinterpret_cast<HFONT>(::SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)))
        ::SelectObject(dc, font);
    ::SetBkMode(dc, TRANSPARENT);
    const UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
    for (const auto& [part, color] : {std::pair{done, RGB(255, 255, 255)}, std::pair{rest, RGB(0, 0, 0)}}) {
        if (part.right <= part.left)
            continue;
        ::SaveDC(dc);
        ::IntersectClipRect(dc, part.left, part.top, part.right, part.bottom);
        ::SetTextColor(dc, color);
        RECT area = inner;
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area, format);
        ::RestoreDC(dc, -1);
    }
    ::RestoreDC(dc, saved);
    return true;
}

// ---- MultiLineEdit ----

namespace {

constexpr UINT WmFlushLines = WM_APP + 0x102;

// One line of text: line ends inside it would make more lines than the list counts.
std::wstring OneLine(const std::string& text) {
    std::wstring line = Widen(text);
    std::replace(line.begin(), line.end(), L'\r', L' ');
    std::replace(line.begin(), line.end(), L'\n', L' ');
    return line;
}

// The edit control ends its lines with CR LF only.
std::wstring WithControlLineEnds(const std::string& text) {
    const std::wstring wide = Widen(text);
    std::wstring out;
    out.reserve(wide.size() + wide.size() / 16);
    for (std::size_t i = 0; i < wide.size(); ++i) {
        if (wide[i] == L'\r' || wide[i] == L'\n') {
            out += L"\r\n";
            if (wide[i] == L'\r' && i + 1 < wide.size() && wide[i + 1] == L'\n')
                ++i;
        } else {
            out += wide[i];
        }
    }
    return out;
}

} // namespace

void MultiLineEdit::Create(HWND parent, int id) {
    Control::Create(L"EDIT", {},
                    WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL |
                        ES_WANTRETURN | ES_NOHIDESEL,
                    WS_EX_CLIENTEDGE, parent, id);
    // The default limit (about 30000 characters) would hold a thousand lines only.
    if (Handle() != nullptr)
        ::SendMessageW(Handle(), EM_SETLIMITTEXT, 0, 0);
    UpdateGutter();
}

LRESULT MultiLineEdit::Proc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_GETDLGCODE: {
        // Tab moves to the next control, as in the other fields; Enter and the arrows stay the list's.
        LRESULT code = Default(message, wParam, lParam);
        const auto* key = reinterpret_cast<const MSG*>(lParam);
        if (key != nullptr && key->message == WM_KEYDOWN && key->wParam == VK_TAB)
            code &= ~(DLGC_WANTALLKEYS | DLGC_WANTTAB | DLGC_WANTMESSAGE);
        return code;
    }
    case WmFlushLines:
        Flush();
        return 0;
    case WM_SETFONT: {
        // A new font resets the control's margins (and the digits' width): the gutter's margin is set again,
        // or the gutter would cover the start of every line.
        const LRESULT result = Default(message, wParam, lParam);
        Gutter_ = 0;
        GutterLines_ = -1;
        UpdateGutter();
        return result;
    }
    case WM_PAINT: {
        // Whoever shows the text meets the gathered lines too; the gutter is painted over the left margin.
        Flush();
        const LRESULT result = Default(message, wParam, lParam);
        PaintGutter();
        return result;
    }
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
    case WM_SETFOCUS:
    case WM_KEYDOWN:
    case WM_CHAR:
    case WM_LBUTTONDOWN:
        // Whoever reads or edits the text meets the gathered lines too.
        Flush();
        break;
    case WM_NCHITTEST:
    case WM_SETCURSOR:
    case WM_GETFONT:
    case EM_GETLINECOUNT:
    case EM_GETFIRSTVISIBLELINE:
    case EM_LINEINDEX:
    case EM_LINELENGTH:
    case EM_GETLINE:
    case EM_GETSEL:
    case EM_GETRECT:
        return Default(message, wParam, lParam);
    default:
        break;
    }
    const LRESULT result = Default(message, wParam, lParam);
    // Anything else may have added lines or scrolled: the gutter follows.
    UpdateGutter();
    return result;
}

int MultiLineEdit::LineHeight() const {
    HDC dc = ::GetDC(Handle());
    if (dc == nullptr)
        return 16;
    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(Handle(), WM_GETFONT, 0, 0));
    HGDIOBJ old = font != nullptr ? ::SelectObject(dc, font) : nullptr;
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    if (old != nullptr)
        ::SelectObject(dc, old);
    ::ReleaseDC(Handle(), dc);
    return std::max<int>(metrics.tmHeight, 1);
}

void MultiLineEdit::UpdateGutter() {
    if (Handle() == nullptr || InGutterCheck_)
        return;
    InGutterCheck_ = true;
    const int lines = ControlLineCount();
    const int first = static_cast<int>(::SendMessageW(Handle(), EM_GETFIRSTVISIBLELINE, 0, 0));
    const int scroll = ::GetScrollPos(Handle(), SB_HORZ);
    if (lines != GutterLines_) {
        int digit = 8;
        if (HDC dc = ::GetDC(Handle())) {
            HFONT font = reinterpret_cast<HFONT>(::SendMessageW(Handle(), WM_GETFONT, 0, 0));
            HGDIOBJ old = font != nullptr ? ::SelectObject(dc, font) : nullptr;
            SIZE size{};
            if (::GetTextExtentPoint32W(dc, L"9", 1, &size))
                digit = size.cx;
            if (old != nullptr)
                ::SelectObject(dc, old);
            ::ReleaseDC(Handle(), dc);
        }
        const int width = layout::GutterWidth(lines, digit);
        if (width != Gutter_) {
            Gutter_ = width;
            ::SendMessageW(Handle(), EM_SETMARGINS, EC_LEFTMARGIN, MAKELPARAM(Gutter_, 0));
            ::InvalidateRect(Handle(), nullptr, TRUE);
        }
    }
    const bool moved = lines != GutterLines_ || first != GutterFirst_ || scroll != GutterScroll_;
    GutterLines_ = lines;
    GutterFirst_ = first;
    GutterScroll_ = scroll;
    InGutterCheck_ = false;
    if (moved)
        PaintGutter();
}

std::vector<int> MultiLineEdit::ShownNumbers() const {
    std::vector<int> numbers;
    if (Handle() == nullptr)
        return numbers;
    RECT client{};
    ::GetClientRect(Handle(), &client);
    const int first = static_cast<int>(::SendMessageW(Handle(), EM_GETFIRSTVISIBLELINE, 0, 0));
    int lines = ControlLineCount();
    // A line end at the very end makes no line that would be sent: its empty line gets no number.
    if (lines > 1 && ControlLine(lines - 1).empty())
        --lines;
    const int visible = (client.bottom - client.top + LineHeight() - 1) / LineHeight();
    for (int line = first; line < lines && line < first + visible; ++line)
        numbers.push_back(line + 1);
    return numbers;
}

void MultiLineEdit::PaintGutter() const {
    if (Handle() == nullptr || Gutter_ <= 0 || !::IsWindowVisible(Handle()))
        return;
    HDC dc = ::GetDC(Handle());
    if (dc == nullptr)
        return;
    RECT client{};
    ::GetClientRect(Handle(), &client);
    RECT gutter{client.left, client.top, client.left + Gutter_ - 2, client.bottom};
    ::FillRect(dc, &gutter, ::GetSysColorBrush(COLOR_BTNFACE));
    RECT format{};
    ::SendMessageW(Handle(), EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    const int saved = ::SaveDC(dc);
    if (HFONT font = reinterpret_cast<HFONT>(::SendMessageW(Handle(), WM_GETFONT, 0, 0)))
        ::SelectObject(dc, font);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(COLOR_GRAYTEXT));
    const int height = LineHeight();
    const int first = static_cast<int>(::SendMessageW(Handle(), EM_GETFIRSTVISIBLELINE, 0, 0));
    for (const int number : ShownNumbers()) {
        RECT line{gutter.left, format.top + (number - 1 - first) * height, gutter.right - 4, 0};
        line.bottom = line.top + height;
        const std::wstring text = std::to_wstring(number);
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &line,
                    DT_RIGHT | DT_SINGLELINE | DT_NOPREFIX);
    }
    ::RestoreDC(dc, saved);
    ::ReleaseDC(Handle(), dc);
}

void MultiLineEdit::Notified(int code) {
    if (code == EN_VSCROLL || code == EN_HSCROLL || code == EN_CHANGE)
        UpdateGutter();
    if (code == EN_CHANGE && ProgramEdits_ == 0)
        RunHandler(OnUserChange);
}

int MultiLineEdit::ControlLineCount() const {
    return Handle() != nullptr ? static_cast<int>(::SendMessageW(Handle(), EM_GETLINECOUNT, 0, 0)) : 0;
}

std::wstring MultiLineEdit::ControlLine(int index) const {
    if (Handle() == nullptr || index < 0 || index >= ControlLineCount())
        return {};
    const auto start = ::SendMessageW(Handle(), EM_LINEINDEX, static_cast<WPARAM>(index), 0);
    if (start < 0)
        return {};
    const auto length = ::SendMessageW(Handle(), EM_LINELENGTH, static_cast<WPARAM>(start), 0);
    if (length <= 0)
        return {};
    // EM_GETLINE takes the buffer's size in its first word and writes no terminating zero.
    std::wstring text(std::max<std::size_t>(static_cast<std::size_t>(length), 1), L'\0');
    if (text.size() > 0xFFFF) {
        const std::wstring all = Widen(Control::Text());
        return all.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(length));
    }
    text[0] = static_cast<wchar_t>(text.size());
    const auto copied = ::SendMessageW(Handle(), EM_GETLINE, static_cast<WPARAM>(index),
                                       reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(std::clamp<LRESULT>(copied, 0, length)));
    return text;
}

int MultiLineEdit::LineCount() const {
    if (!Tail_.empty())
        return TailStart_ + static_cast<int>(Tail_.size());
    return ControlLineCount();
}

std::string MultiLineEdit::Line(int index) const {
    if (index < 0 || index >= LineCount())
        return {};
    if (!Tail_.empty() && index >= TailStart_)
        return Narrow(Tail_[static_cast<std::size_t>(index - TailStart_)]);
    return Narrow(ControlLine(index));
}

std::vector<std::string> MultiLineEdit::Lines() const {
    const std::string all = Text();
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = all.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(all.substr(start));
            break;
        }
        lines.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string MultiLineEdit::Text() const {
    Flush();
    std::string text = Control::Text();
    std::size_t out = 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            text[out++] = text[i];
    text.resize(out);
    return text;
}

void MultiLineEdit::SetText(const std::string& text) {
    Pending_.clear();
    Tail_.clear();
    if (Handle() == nullptr)
        return;
    ++ProgramEdits_;
    ::SetWindowTextW(Handle(), WithControlLineEnds(text).c_str());
    --ProgramEdits_;
}

void MultiLineEdit::ReplaceRange(LRESULT start, LRESULT end, const std::wstring& text) const {
    ++ProgramEdits_;
    DWORD selStart = 0;
    DWORD selEnd = 0;
    ::SendMessageW(Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&selStart),
                   reinterpret_cast<LPARAM>(&selEnd));
    ::SendMessageW(Handle(), EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(end));
    ::SendMessageW(Handle(), EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
    // The user's selection stays where it was, moved along when the change lies before it.
    const auto shift = static_cast<long long>(text.size()) - (end - start);
    const auto moved = [&](DWORD at) {
        return static_cast<WPARAM>(static_cast<long long>(at) >= end ? static_cast<long long>(at) + shift
                                                                     : at);
    };
    ::SendMessageW(Handle(), EM_SETSEL, moved(selStart), static_cast<LPARAM>(moved(selEnd)));
    --ProgramEdits_;
}

void MultiLineEdit::ScrollToLine(int index) {
    Flush();
    if (Handle() == nullptr || index < 0 || index >= LineCount())
        return;
    const auto start = ::SendMessageW(Handle(), EM_LINEINDEX, static_cast<WPARAM>(index), 0);
    ::SendMessageW(Handle(), EM_SETSEL, static_cast<WPARAM>(start), start);
    ::SendMessageW(Handle(), EM_SCROLLCARET, 0, 0);
}

void MultiLineEdit::SelectLine(int index) {
    Flush();
    if (Handle() == nullptr || index < 0 || index >= LineCount())
        return;
    const auto start = ::SendMessageW(Handle(), EM_LINEINDEX, static_cast<WPARAM>(index), 0);
    const auto length = ::SendMessageW(Handle(), EM_LINELENGTH, static_cast<WPARAM>(start), 0);
    // From the line's end back to its start: the caret, which is what scrolls into view, at the start.
    ::SendMessageW(Handle(), EM_SETSEL, static_cast<WPARAM>(start + length), start);
    ::SendMessageW(Handle(), EM_SCROLLCARET, 0, 0);
}

void MultiLineEdit::Gather() {
    if (!Tail_.empty())
        return;
    TailStart_ = std::max(ControlLineCount() - 1, 0);
    Tail_.push_back(ControlLine(TailStart_));
    ::PostMessageW(Handle(), WmFlushLines, 0, 0);
}

void MultiLineEdit::Flush() const {
    Tail_.clear();
    if (Handle() == nullptr || Pending_.empty())
        return;
    const std::wstring lines = std::exchange(Pending_, {});
    const int length = ::GetWindowTextLengthW(Handle());
    ReplaceRange(length, length, lines);
}

void MultiLineEdit::ReplaceLine(int index, const std::string& text) {
    Flush();
    if (Handle() == nullptr || index < 0 || index >= LineCount())
        return;
    const auto start = ::SendMessageW(Handle(), EM_LINEINDEX, static_cast<WPARAM>(index), 0);
    const auto length = ::SendMessageW(Handle(), EM_LINELENGTH, static_cast<WPARAM>(start), 0);
    ReplaceRange(start, start + length, OneLine(text));
}

void MultiLineEdit::InsertLine(int index, const std::string& text) {
    const int count = LineCount();
    if (Handle() == nullptr || index < 0 || index > count)
        return;
    // Lines added at the end are gathered, so a run of them reaches the control in one piece.
    if (index == count) {
        Gather();
        const std::wstring line = OneLine(text);
        Pending_ += L"\r\n" + line;
        Tail_.push_back(line);
        return;
    }
    if (index == count - 1 && Line(index).empty()) {
        // Before an empty last line: the text ends with a line end (or is empty), so the line goes behind it.
        Gather();
        const std::wstring line = OneLine(text);
        Pending_ += line + L"\r\n";
        Tail_.back() = line;
        Tail_.emplace_back();
        return;
    }
    Flush();
    const auto start = ::SendMessageW(Handle(), EM_LINEINDEX, static_cast<WPARAM>(index), 0);
    ReplaceRange(start, start, OneLine(text) + L"\r\n");
}

} // namespace zelo::win32
