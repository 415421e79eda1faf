#include "window/win32/Win32EditField.h"
#include "window/win32/Win32Text.h"

#include <algorithm>
#include <cwchar>
#include <utility>
#include <vector>

namespace zelo::win32 {

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

} // namespace zelo::win32
