#pragma once
// The Windows controls of the view: thin wrappers around CreateWindowEx controls. Each wrapper subclasses its
// control, so the notifications its parent receives (WM_COMMAND, WM_DRAWITEM, WM_CTLCOLOR*) come back to it.
// Each family is implemented in a file of its own (Win32Panel.cpp, Win32EditField.cpp, Win32Buttons.cpp,
// Win32ComboBox.cpp, Win32Labels.cpp, Win32Gauge.cpp, Win32MultiLineEdit.cpp); the base class here.
#include "window/Controls.h"
#include "window/win32/Win32Api.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zelo::win32 {

// Runs an event's handler. What it lets through goes to the error display set here and never unwinds
// through Windows' own code (the window procedures are called from C). The display is called inside the
// catch block: it rethrows to see the error.
void RunHandler(const std::function<void()>& handler);
void SetHandlerErrorDisplay(std::function<void()> display);

// Posted by an edit field (or an editable list) to itself when it has been left: judged once the focus
// change is over, since a box shown in the middle of WM_KILLFOCUS would upset where the focus ends up.
inline constexpr UINT WmFieldLeft = WM_APP + 0x101;

// Moves the focus for the program: no field counts as left.
void MoveFocus(HWND window);

// Registers a window class of the program's own: the arrow cursor on the dialogs' face colour. False when
// Windows refuses it.
bool RegisterWindowClass(const wchar_t* name, WNDPROC procedure, HICON icon = nullptr);
// Registers the class of a top-level window: with the program's icon (Windows' own where it has none).
// Registering it again fails harmlessly.
void RegisterTopLevelClass(const wchar_t* name, WNDPROC procedure);

// The window procedure of a top-level window owned by an object (Owner): the object comes with the creation
// parameter and is found again in the window's user data; Owner::Proc takes the messages and Owner::Handle_
// follows the window's life. The owner befriends it.
template <typename Owner>
LRESULT CALLBACK OwnedWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* created = static_cast<Owner*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        created->Handle_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* owner = reinterpret_cast<Owner*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (owner == nullptr)
        return ::DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        owner->Handle_ = nullptr;
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return owner->Proc(message, wParam, lParam);
}

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
    // Its own state: a control set visible shows whenever its window does.
    bool Visible() const;
    void SetVisible(bool visible);
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

// A control that the window's logic sees through one of its interfaces.
template <typename Interface> class ControlFor : public Control, public Interface {
public:
    bool Enabled() const override { return Control::Enabled(); }
    void SetEnabled(bool enabled) override { Control::SetEnabled(enabled); }
    bool Visible() const override { return Control::Visible(); }
    void SetVisible(bool visible) override { Control::SetVisible(visible); }
    void SetFocus() override { Control::Focus(); }
};

// A plain panel that holds controls; disabling it makes everything inside unusable, and drawn so, while each
// control keeps its own state: the controls inside are disabled with it and get their own states back.
class Panel : public ControlFor<IContainer> {
public:
    void Create(HWND parent, int id);
    bool Enabled() const override;
    void SetEnabled(bool enabled) override;
    // The panel that holds a control while it is disabled, or null.
    static Panel* DisabledAround(HWND control);
    // The own state of a control inside, kept while the panel is disabled.
    bool OwnState(HWND control) const;
    void KeepState(HWND control, bool enabled);

private:
    std::vector<std::pair<HWND, bool>> Own_; // filled while the panel is disabled
    bool Disabled_ = false;
};

// A single-line edit field. Leaving it (the focus moves to another control of the same window) raises
// OnLeave once the focus change is complete. Losing the focus to another window, to a box or a menu, or
// because the program moves the focus, is no leave.
class EditField : public ControlFor<IEditField> {
public:
    EditField() = default;
    ~EditField() override;
    EditField(const EditField&) = delete;
    EditField& operator=(const EditField&) = delete;

    void Create(HWND parent, int id, DWORD extraStyle = 0);
    std::string Text() const override { return Control::Text(); }
    void SetText(const std::string& text) override { Control::SetText(text); }
    std::function<void()> OnLeave;

    // Judges now the fields left but not yet judged; true when there were any. A click that left a field
    // comes after the field's judgement, also when a key made the click (an accelerator moves the focus and
    // clicks at once).
    static bool JudgeLeftFields();

protected:
    LRESULT Proc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

class Button : public ControlFor<IButton> {
public:
    void Create(HWND parent, int id, const std::string& caption);
    std::function<void()> OnClick;

protected:
    void Notified(int code) override;
};

class CheckBox : public ControlFor<ICheckBox> {
public:
    void Create(HWND parent, int id, const std::string& caption);
    bool Checked() const override;
    void SetChecked(bool checked) override;
    // After the user toggled the box.
    std::function<void()> OnClick;

protected:
    void Notified(int code) override;
};

// One radio button of a group (the group is RadioGroup below): checked and clicked as a check box is.
class RadioButton : public CheckBox {
public:
    void Create(HWND parent, int id, const std::string& caption, bool firstOfGroup);
};

// A captioned frame with radio buttons; the frame and the buttons are siblings, so the dialog keys move
// between the buttons. The frame is the control; its state goes to the buttons.
class RadioGroup : public ControlFor<IRadioGroup> {
public:
    // The items get the IDs itemIds, in order.
    void Create(HWND parent, int frameId, const std::vector<int>& itemIds, const std::string& caption,
                const std::vector<std::string>& items);
    int ItemIndex() const override;
    void SetItemIndex(int index) override;
    void SetEnabled(bool enabled) override;
    void SetVisible(bool visible) override;
    // To the chosen item (the first when none is).
    void SetFocus() override;
    int Count() const { return static_cast<int>(Items_.size()); }
    RadioButton& Item(int index) { return *Items_.at(static_cast<std::size_t>(index)); }
    // The user chose an item (its index).
    std::function<void(int)> OnClick;

private:
    std::vector<std::unique_ptr<RadioButton>> Items_;
};

// A drop-down list; an editable one also takes a name typed by hand and raises OnLeave when the focus has
// moved from it to another control of the same window.
class ComboBox : public ControlFor<IComboBox> {
public:
    void Create(HWND parent, int id, bool editable = false);
    // Nothing is chosen afterwards.
    void SetItems(const std::vector<std::string>& items) override;
    int ItemCount() const override;
    std::string ItemText(int index) const override;
    int ItemIndex() const override;
    // Chosen by the program: no change event.
    void SetItemIndex(int index) override;
    std::string Text() const override { return Control::Text(); }
    void SetText(const std::string& text) override { Control::SetText(text); }
    // The width the widest entry needs, frame and arrow included.
    int WidestItemWidth() const;
    std::function<void()> OnChange;
    // The list is about to open.
    std::function<void()> OnDropDown;
    std::function<void()> OnLeave;

protected:
    void Notified(int code) override;
    LRESULT Proc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

// Static text. Ampersands show as they are: status texts come from files and from the gateway. The logic
// shows and hides some labels, so a label is also a plain control to it.
class Label : public ControlFor<IControl>, public ILabel {
public:
    void Create(HWND parent, int id, const std::string& text, DWORD align = SS_LEFT);
    void SetText(const std::string& text) override { Control::SetText(text); }
    // Paints a changed text at once, also in the middle of a handler.
    void RepaintNow() override;
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
class Gauge : public Control, public IGauge {
public:
    void Create(HWND parent, int id);
    void SetMinimum(int value) override;
    void SetMaximum(int value) override;
    void SetPosition(int value) override;
    int Minimum() const { return Minimum_; }
    int Maximum() const { return Maximum_; }
    int Position() const { return Position_; }
    int Percent() const { return GaugePercent(Minimum_, Maximum_, Position_); }
    void RepaintNow() override;

protected:
    bool Draw(const DRAWITEMSTRUCT& item) override;

private:
    void Changed();
    int Minimum_ = 0;
    int Maximum_ = 100;
    int Position_ = 0;
};

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
