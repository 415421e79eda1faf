#include "window/win32/Win32CheckList.h"
#include "window/win32/Win32Text.h"

#include <algorithm>
#include <cstdlib>

namespace zelo::win32 {

CheckList::~CheckList() {
    if (Fitted_ != nullptr)
        ::DeleteObject(Fitted_);
}

HFONT CheckList::RowFont() const {
    return Fitted_ != nullptr ? Fitted_ : Font_;
}

int CheckList::TextIndent() const {
    const UINT dpi = WindowDpi(Handle());
    const RECT box = BoxIn(RowRect(0));
    const RECT row = RowRect(0);
    return box.right - row.left + Scale(6, dpi);
}

void CheckList::FitFont(int columnWidth, int rowHeight) {
    if (Fitted_ != nullptr) {
        ::DeleteObject(Fitted_);
        Fitted_ = nullptr;
    }
    if (Font_ == nullptr || Rows_.empty() || columnWidth <= 0)
        return;
    HDC dc = ::GetDC(Handle());
    if (dc == nullptr)
        return;
    LOGFONTW wanted{};
    ::GetObjectW(Font_, sizeof wanted, &wanted);
    const UINT dpi = WindowDpi(Handle());
    const int room = columnWidth - TextIndent() - Scale(2, dpi);
    const int smallest = ::MulDiv(6, static_cast<int>(dpi), 72);
    HFONT candidate = nullptr;
    for (int height = std::abs(wanted.lfHeight); height >= smallest; --height) {
        LOGFONTW shape = wanted;
        shape.lfHeight = wanted.lfHeight < 0 ? -height : height;
        HFONT font = height == std::abs(wanted.lfHeight) ? Font_ : ::CreateFontIndirectW(&shape);
        HGDIOBJ old = ::SelectObject(dc, font);
        int widest = 0;
        for (int row = 0; row < Count(); ++row) {
            const std::wstring text = WideText(ItemText(row));
            SIZE size{};
            ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
            widest = std::max(widest, static_cast<int>(size.cx));
        }
        TEXTMETRICW metrics{};
        ::GetTextMetricsW(dc, &metrics);
        ::SelectObject(dc, old);
        if (candidate != nullptr)
            ::DeleteObject(candidate);
        candidate = font == Font_ ? nullptr : font;
        if (widest <= room && metrics.tmHeight <= rowHeight + 2)
            break;
    }
    ::ReleaseDC(Handle(), dc);
    Fitted_ = candidate;
}

void CheckList::Create(HWND parent, int id, int columns) {
    Columns_ = std::max(columns, 1);
    Control::Create(L"LISTBOX", {},
                    WS_TABSTOP | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT |
                        (Columns_ > 1 ? LBS_MULTICOLUMN : 0),
                    WS_EX_CLIENTEDGE, parent, id);
}

void CheckList::SetItems(const std::vector<std::string>& items) {
    if (Handle() == nullptr)
        return;
    ::SendMessageW(Handle(), LB_RESETCONTENT, 0, 0);
    Rows_.assign(items.size(), Row{});
    for (const std::string& item : items)
        ::SendMessageW(Handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WideText(item).c_str()));
    ::SendMessageW(Handle(), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    FitRows();
}

std::string CheckList::ItemText(int row) const {
    return ValidRow(row) ? ListItemText(LB_GETTEXTLEN, LB_GETTEXT, row) : std::string();
}

bool CheckList::Checked(int row) const {
    return ValidRow(row) && Rows_[static_cast<std::size_t>(row)].Checked;
}

void CheckList::SetChecked(int row, bool checked) {
    SetRowState(row, &Row::Checked, checked);
}

bool CheckList::ItemEnabled(int row) const {
    return ValidRow(row) && Rows_[static_cast<std::size_t>(row)].Enabled;
}

void CheckList::SetItemEnabled(int row, bool enabled) {
    SetRowState(row, &Row::Enabled, enabled);
}

void CheckList::SetRowState(int row, bool Row::*state, bool value) {
    if (!ValidRow(row) || Rows_[static_cast<std::size_t>(row)].*state == value)
        return;
    Rows_[static_cast<std::size_t>(row)].*state = value;
    Redraw(row);
}

int CheckList::CurrentRow() const {
    if (Handle() == nullptr)
        return -1;
    const auto row = ::SendMessageW(Handle(), LB_GETCURSEL, 0, 0);
    return row == LB_ERR ? -1 : static_cast<int>(row);
}

void CheckList::SetCurrentRow(int row) {
    if (Handle() != nullptr)
        ::SendMessageW(Handle(), LB_SETCURSEL, static_cast<WPARAM>(ValidRow(row) ? row : -1), 0);
}

void CheckList::FitRows() {
    if (Handle() == nullptr)
        return;
    RECT client{};
    ::GetClientRect(Handle(), &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    // Rows as tall as the font wants, but never so tall that a column would need scrolling.
    int fontHeight = 13;
    if (HDC dc = ::GetDC(Handle())) {
        HGDIOBJ old = Font_ != nullptr ? ::SelectObject(dc, Font_) : nullptr;
        TEXTMETRICW metrics{};
        if (::GetTextMetricsW(dc, &metrics))
            fontHeight = metrics.tmHeight;
        if (old != nullptr)
            ::SelectObject(dc, old);
        ::ReleaseDC(Handle(), dc);
    }
    const int rows = std::max(1, (Count() + Columns_ - 1) / Columns_);
    int rowHeight = fontHeight + Scale(2, WindowDpi(Handle()));
    if (height > 0)
        rowHeight = std::min(rowHeight, height / rows);
    rowHeight = std::clamp(rowHeight, 1, 255);
    ::SendMessageW(Handle(), LB_SETITEMHEIGHT, 0, rowHeight);
    if (Columns_ > 1 && width > 0)
        ::SendMessageW(Handle(), LB_SETCOLUMNWIDTH, static_cast<WPARAM>(std::max(1, width / Columns_)), 0);
    FitFont(width / Columns_, rowHeight);
    ::InvalidateRect(Handle(), nullptr, TRUE);
}

RECT CheckList::RowRect(int row) const {
    RECT rect{};
    if (ValidRow(row))
        ::SendMessageW(Handle(), LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect));
    return rect;
}

RECT CheckList::BoxIn(const RECT& row) const {
    const int height = row.bottom - row.top;
    const int size = std::max(1, std::min(height - 2, Scale(13, WindowDpi(Handle()))));
    RECT box;
    box.left = row.left + Scale(2, WindowDpi(Handle()));
    box.top = row.top + (height - size) / 2;
    box.right = box.left + size;
    box.bottom = box.top + size;
    return box;
}

RECT CheckList::CheckBoxRect(int row) const {
    return BoxIn(RowRect(row));
}

void CheckList::Redraw(int row) {
    const RECT rect = RowRect(row);
    if (Handle() != nullptr)
        ::InvalidateRect(Handle(), &rect, FALSE);
}

void CheckList::Toggle(int row) {
    if (!ItemEnabled(row))
        return;
    Rows_[static_cast<std::size_t>(row)].Checked = !Rows_[static_cast<std::size_t>(row)].Checked;
    Redraw(row);
    if (OnCheckClicked)
        RunHandler([this, row] { OnCheckClicked(row); });
}

LRESULT CheckList::Proc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        // The list makes the row current (and takes the focus) first; a click on the box then toggles it.
        const LRESULT result = Default(message, wParam, lParam);
        const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        const auto hit = ::SendMessageW(Handle(), LB_ITEMFROMPOINT, 0, lParam);
        const int row = LOWORD(hit);
        if (HIWORD(hit) == 0 && ValidRow(row)) {
            const RECT box = CheckBoxRect(row);
            if (::PtInRect(&box, point))
                Toggle(row);
            else if (message == WM_LBUTTONDOWN && ItemEnabled(row) && OnTextClicked)
                RunHandler([this, row] { OnTextClicked(row); });
        }
        return result;
    }
    case WM_CHAR:
        if (wParam == L' ') {
            Toggle(CurrentRow());
            return 0;
        }
        break;
    case WM_SIZE: {
        const LRESULT result = Default(message, wParam, lParam);
        FitRows();
        return result;
    }
    case WM_SETFONT: {
        Font_ = reinterpret_cast<HFONT>(wParam);
        const LRESULT result = Default(message, wParam, lParam);
        FitRows();
        return result;
    }
    default:
        break;
    }
    return Default(message, wParam, lParam);
}

bool CheckList::Draw(const DRAWITEMSTRUCT& item) {
    if (item.itemID == static_cast<UINT>(-1)) {
        // An empty list with the focus: only the focus frame.
        if (item.itemState & ODS_FOCUS)
            ::DrawFocusRect(item.hDC, &item.rcItem);
        return true;
    }
    const int row = static_cast<int>(item.itemID);
    if (!ValidRow(row))
        return true;
    const Row& state = Rows_[static_cast<std::size_t>(row)];
    HDC dc = item.hDC;
    const RECT& area = item.rcItem;
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    ::FillRect(dc, &area, ::GetSysColorBrush(COLOR_WINDOW));

    RECT box = BoxIn(area);
    ::DrawFrameControl(dc, &box, DFC_BUTTON,
                       DFCS_BUTTONCHECK | DFCS_FLAT | (state.Checked ? DFCS_CHECKED : 0) |
                           (state.Enabled ? 0 : DFCS_INACTIVE));

    RECT text = area;
    text.left = box.right + Scale(4, WindowDpi(Handle()));
    const int indent = TextIndent();
    if (selected)
        ::FillRect(dc, &text, ::GetSysColorBrush(COLOR_HIGHLIGHT));
    const int saved = ::SaveDC(dc);
    if (HFONT font = RowFont())
        ::SelectObject(dc, font);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(!state.Enabled ? COLOR_GRAYTEXT
                                     : selected     ? COLOR_HIGHLIGHTTEXT
                                                    : COLOR_WINDOWTEXT));
    const std::wstring caption = WideText(ItemText(row));
    RECT inside = area;
    inside.left += indent;
    ::DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &inside,
                DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    ::RestoreDC(dc, saved);
    if (item.itemState & ODS_FOCUS)
        ::DrawFocusRect(dc, &text);
    return true;
}

} // namespace zelo::win32
