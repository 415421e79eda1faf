#include "window/win32/Win32Gauge.h"
#include "window/win32/Win32Text.h"

#include <algorithm>
#include <cwchar>
#include <utility>
#include <vector>

namespace zelo::win32 {

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

} // namespace zelo::win32
