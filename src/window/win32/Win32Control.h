#pragma once
// The Windows controls of the view: thin wrappers around CreateWindowEx controls. Each wrapper subclasses its
// control, so the notifications its parent receives (WM_COMMAND, WM_DRAWITEM, WM_CTLCOLOR*) come back to it.
// The base class and what every control shares are here; each family has a header and a file of its own
// (Win32Panel, Win32EditField, Win32Buttons, Win32ComboBox, Win32Labels, Win32Gauge, Win32MultiLineEdit).
#include "window/Controls.h"
#include "window/win32/Win32Api.h"
#include "window/win32/Win32Text.h"

#include <functional>
#include <memory>
#include <optional>
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

// Sets a window's font; redraw paints it with the new font at once.
void SetWindowFont(HWND window, HFONT font, bool redraw);

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
    std::string Text() const { return WindowText(Handle_); }
    void SetText(const std::string& text) { SetWindowTextUtf8(Handle_, text); }
    void SetFont(HFONT font) { SetWindowFont(Handle_, font, true); }
    // Rectangle in the parent's client coordinates.
    void Place(const RECT& rect);
    // Gives the control the keyboard focus. A focus the program moves is never a field being left.
    void Focus();
    // A message to the control; 0 while it has no window.
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    // The text of a list's item: its length asked with lengthMessage, then the text with textMessage.
    std::string ListItemText(UINT lengthMessage, UINT textMessage, int index) const;

    // The wrapper of a control window, or null.
    static Control* Of(HWND window);
    // Hands the notifications a parent receives to the control that sent them: the result when it took one.
    static std::optional<LRESULT> Reflect(UINT message, WPARAM wParam, LPARAM lParam);
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

} // namespace zelo::win32
