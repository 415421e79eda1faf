#include "window/win32/Win32Labels.h"
#include "window/win32/Win32Text.h"

#include <algorithm>
#include <cwchar>
#include <utility>
#include <vector>

namespace zelo::win32 {

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
    const std::wstring text = WideText(Text());
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

} // namespace zelo::win32
