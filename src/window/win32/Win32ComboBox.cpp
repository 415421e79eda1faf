#include "window/win32/Win32ComboBox.h"
#include "window/win32/Win32Text.h"

#include <algorithm>
#include <cwchar>
#include <utility>
#include <vector>

namespace zelo::win32 {

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
        ::SendMessageW(Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideText(item).c_str()));
    ::SendMessageW(Handle(), WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(Handle(), nullptr, TRUE);
    // The open list shows every entry whole, also one wider than the field.
    ::SendMessageW(Handle(), CB_SETDROPPEDWIDTH, static_cast<WPARAM>(WidestItemWidth()), 0);
}

int ComboBox::ItemCount() const {
    return static_cast<int>(Send(CB_GETCOUNT));
}

std::string ComboBox::ItemText(int index) const {
    if (index < 0 || index >= ItemCount())
        return {};
    return ListItemText(CB_GETLBTEXTLEN, CB_GETLBTEXT, index);
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
            const std::wstring text = WideText(ItemText(i));
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

} // namespace zelo::win32
