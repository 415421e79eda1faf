#pragma once
// The Windows controls of the view: thin wrappers around CreateWindowEx controls. Each wrapper subclasses its
// control, so the notifications its parent receives (WM_COMMAND, WM_DRAWITEM, WM_CTLCOLOR*) come back to it.
#include "window/win32/Win32Api.h"

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zelo::win32 {

// Runs an event's handler. What it lets through goes to the error display set here and never unwinds
// through Windows' own code (the window procedures are called from C).
void RunHandler(const std::function<void()>& handler);
void SetHandlerErrorDisplay(std::function<void(std::exception_ptr)> display);

// Moves the focus for the program: no field counts as left.
void MoveFocus(HWND window);

// The dots per inch a window is shown at (96 where Windows cannot say).
UINT WindowDpi(HWND window);
// Scales a length given at 96 dpi.
int Scale(int length, UINT dpi);

// The system's message font (what dialogs use), and the bold caption font, for one DPI.
class FontSet {
public:
    explicit FontSet(UINT dpi);
    ~FontSet();
    FontSet(const FontSet&) = delete;
    FontSet& operator=(const FontSet&) = delete;

    HFONT Message() const { return Message_; }
    HFONT CaptionBold() const { return CaptionBold_; }
    HFONT Fixed() const { return Fixed_; }
    LOGFONTW MessageLogFont() const { return MessageLog_; }

private:
    LOGFONTW MessageLog_{};
    HFONT Message_ = nullptr;
    HFONT CaptionBold_ = nullptr;
    HFONT Fixed_ = nullptr;
};

class Control {
public:
    Control() = default;
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    HWND Handle() const { return Handle_; }
    int Id() const;
    bool Enabled() const;
    void SetEnabled(bool enabled);
    std::string Text() const;
    void SetText(const std::string& text);
    void SetFont(HFONT font);
    // Rectangle in the parent's client coordinates.
    void Place(const RECT& rect);
    // Gives the control the keyboard focus. A focus the program moves is never a field being left.
    void Focus();

    // The wrapper of a control window, or null.
    static Control* Of(HWND window);
    // Hands the notifications a parent receives to the control that sent them; true when it took one.
    static bool Reflect(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // True while the program itself moves the focus.
    static bool ProgramMovesFocus();

protected:
    // Creates the control window and subclasses it.
    void Create(const wchar_t* windowClass, const std::string& text, DWORD style, DWORD exStyle, HWND parent,
                int id);
    // The control's own messages; the default passes them on.
    virtual LRESULT Proc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam);
    // A WM_COMMAND notification code from the control.
    virtual void Notified(int /*code*/) {}
    virtual bool Draw(const DRAWITEMSTRUCT& /*item*/) { return false; }
    // WM_CTLCOLOR*: the brush to paint with, or null for the default.
    virtual HBRUSH Colors(HDC /*dc*/) { return nullptr; }

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR self);
    HWND Handle_ = nullptr;
};

// A plain panel that holds controls; disabling it makes everything inside unusable while each control keeps
// its own state.
class Panel : public Control {
public:
    void Create(HWND parent, int id);
};

// A single-line edit field. Leaving it (the focus moves to another control of the same window) raises
// OnLeave once the focus change is complete. Losing the focus to another window, to a box or a menu, or
// because the program moves the focus, is no leave.
class EditField : public Control {
public:
    void Create(HWND parent, int id, DWORD extraStyle = 0);
    std::function<void()> OnLeave;

protected:
    LRESULT Proc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

class Button : public Control {
public:
    void Create(HWND parent, int id, const std::string& caption);
    std::function<void()> OnClick;

protected:
    void Notified(int code) override;
};

class CheckBox : public Control {
public:
    void Create(HWND parent, int id, const std::string& caption);
    bool Checked() const;
    void SetChecked(bool checked);
    // After the user toggled the box.
    std::function<void()> OnClick;

protected:
    void Notified(int code) override;
};

// One radio button of a group; the group is RadioGroup below.
class RadioButton : public Control {
public:
    void Create(HWND parent, int id, const std::string& caption, bool firstOfGroup);
    bool Checked() const;
    void SetChecked(bool checked);
    std::function<void()> OnClick;

protected:
    void Notified(int code) override;
};

// A captioned frame with radio buttons; the frame and the buttons are siblings, so the dialog keys move
// between the buttons.
class RadioGroup {
public:
    void Create(HWND parent, int frameId, int firstItemId, const std::string& caption,
                const std::vector<std::string>& items);
    int ItemIndex() const;
    void SetItemIndex(int index);
    int Count() const { return static_cast<int>(Items_.size()); }
    Control& Frame() { return Frame_; }
    RadioButton& Item(int index) { return *Items_.at(static_cast<std::size_t>(index)); }
    void SetEnabled(bool enabled);
    void SetFont(HFONT font);
    // The user chose an item (its index).
    std::function<void(int)> OnClick;

private:
    class FrameControl : public Control {
    public:
        void Create(HWND parent, int id, const std::string& caption);
    };
    FrameControl Frame_;
    std::vector<std::unique_ptr<RadioButton>> Items_;
};

// A drop-down list without typing.
class ComboBox : public Control {
public:
    void Create(HWND parent, int id);
    void SetItems(const std::vector<std::string>& items);
    int Count() const;
    std::string ItemText(int index) const;
    int ItemIndex() const;
    // Chosen by the program: no change event.
    void SetItemIndex(int index);
    std::function<void()> OnChange;

protected:
    void Notified(int code) override;
};

// Static text. Ampersands show as they are: status texts come from files and from the gateway.
class Label : public Control {
public:
    void Create(HWND parent, int id, const std::string& text, DWORD align = SS_LEFT);
    // Paints a changed text at once, also in the middle of a handler.
    void RepaintNow();
};

// A black caption bar with its text in white bold type, behind a lowered bevel.
class CaptionBar : public Control {
public:
    void Create(HWND parent, int id, const std::string& text);
    void SetIndent(int pixels) { Indent_ = pixels; }

protected:
    bool Draw(const DRAWITEMSTRUCT& item) override;

private:
    int Indent_ = 8;
};

// The percentage a gauge shows: 0 for an empty range, the position held inside the range.
int GaugePercent(int minimum, int maximum, int position);

// A horizontal bar gauge, black on white, with its percentage done in the middle.
class Gauge : public Control {
public:
    void Create(HWND parent, int id);
    void SetMinimum(int value);
    void SetMaximum(int value);
    void SetPosition(int value);
    int Minimum() const { return Minimum_; }
    int Maximum() const { return Maximum_; }
    int Position() const { return Position_; }
    int Percent() const { return GaugePercent(Minimum_, Maximum_, Position_); }
    void RepaintNow();

protected:
    bool Draw(const DRAWITEMSTRUCT& item) override;

private:
    void Changed();
    int Minimum_ = 0;
    int Maximum_ = 100;
    int Position_ = 0;
};

// The multi-line text of the command list, read and written by line. Its text limit is lifted, so lists of
// tens of thousands of lines fit; the Tab key moves on to the next control. Appended lines are gathered and
// handed to the control in one piece when the program next reads the text or returns to the message loop:
// an edit control repaints on every change, which made long runs of appends crawl.
class MultiLineEdit : public Control {
public:
    void Create(HWND parent, int id);
    int LineCount() const;
    std::string Line(int index) const;
    std::vector<std::string> Lines() const;
    // Replaces the text of one line (without its line end).
    void ReplaceLine(int index, const std::string& text);
    // Appends a line; the text is treated as one line (line ends in it become blanks).
    void AppendLine(const std::string& text);
    void SetAllText(const std::string& text);
    std::string AllText() const;
    // Hands gathered lines to the control now.
    void Flush() const;
    // The user changed the text (not the program).
    std::function<void()> OnUserChange;

protected:
    LRESULT Proc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void Notified(int code) override;

private:
    mutable int ProgramEdits_ = 0;
    mutable std::wstring Pending_;
    mutable int PendingLines_ = 0;
    bool PendingEndsLines_ = false;
};

} // namespace zelo::win32
