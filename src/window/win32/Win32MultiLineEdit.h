#pragma once
#include "window/win32/Win32Control.h"

#include <functional>
#include <string>
#include <vector>

namespace zelo::win32 {

// The multi-line text of the command list, read and written by line. Its text limit is lifted, so lists of
// tens of thousands of lines fit; the Tab key moves on to the next control. Lines added at the end (as a new
// last line, or before an empty last line) are gathered and handed to the control in one piece when the
// program next needs the control's text or returns to the message loop; meanwhile they are counted and read
// from here. An edit control repaints on every change, which made long runs of additions crawl.
class MultiLineEdit : public ControlFor<ICommandList> {
public:
    void Create(HWND parent, int id);
    int LineCount() const override;
    std::string Line(int index) const override;
    void ReplaceLine(int index, const std::string& text) override;
    // Line ends in the text become blanks: it is one line.
    void InsertLine(int index, const std::string& text) override;
    // Lines joined by "\n".
    std::string Text() const override;
    // Any of CR LF, LF and CR ends a line.
    void SetText(const std::string& text) override;
    std::vector<std::string> Lines() const;
    void ScrollToLine(int index) override;
    void SelectLine(int index) override;
    // Hands gathered lines to the control now.
    void Flush() const;
    // The user changed the text (not the program).
    std::function<void()> OnUserChange;

    // The line-number gutter at the left edge: its width, and the numbers it shows now, top to bottom.
    int GutterWidth() const { return Gutter_; }
    std::vector<int> ShownNumbers() const;

protected:
    LRESULT Proc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Notified(int code) override;

private:
    // The gutter follows the line count (its width) and the scroll position (its numbers).
    void UpdateGutter();
    void PaintGutter() const;
    int LineHeight() const;
    int Gutter_ = 0;
    int GutterLines_ = -1;
    int GutterFirst_ = -1;
    int GutterScroll_ = -1;
    bool InGutterCheck_ = false;
    std::wstring ControlLine(int index) const;
    int ControlLineCount() const;
    // Starts gathering: the control's last line opens the tail.
    void Gather();
    void ReplaceRange(LRESULT start, LRESULT end, const std::wstring& text) const;
    mutable int ProgramEdits_ = 0;
    // While lines are gathered: the text to be put behind the control's text, and the lines from TailStart_
    // on as they will read then.
    mutable std::wstring Pending_;
    mutable std::vector<std::wstring> Tail_;
    int TailStart_ = 0;
};

} // namespace zelo::win32
