#include "window/win32/Win32MultiLineEdit.h"
#include "window/win32/Win32Text.h"

#include <algorithm>
#include <cwchar>
#include <utility>
#include <vector>

namespace zelo::win32 {

namespace {

constexpr UINT WmFlushLines = WM_APP + 0x102;

// One line of text: line ends inside it would make more lines than the list counts.
std::wstring OneLine(const std::string& text) {
    std::wstring line = WideText(text);
    std::replace(line.begin(), line.end(), L'\r', L' ');
    std::replace(line.begin(), line.end(), L'\n', L' ');
    return line;
}

// The edit control ends its lines with CR LF only.
std::wstring WithControlLineEnds(const std::string& text) {
    const std::wstring wide = WideText(text);
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
    return static_cast<int>(Send(EM_GETLINECOUNT));
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
        const std::wstring all = WideText(Control::Text());
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
        return Utf8Text(Tail_[static_cast<std::size_t>(index - TailStart_)]);
    return Utf8Text(ControlLine(index));
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
