#pragma once
// The top-level window of the Windows view: a resizable frame whose client area scrolls when it is smaller
// than its content, the dialog keys (Tab, Alt+letter) for the controls inside, a close request that the
// owner may hold, the wait cursor, and a call that processes every pending message.
#include "window/win32/Win32Control.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zelo::win32 {

class Form : public IForm {
public:
    Form() = default;
    ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    // Creates the window, hidden, with the given client size in pixels at its DPI.
    bool Create(const std::string& caption, DWORD style);
    HWND Handle() const { return Handle_; }
    UINT Dpi() const { return WindowDpi(Handle_); }

    std::string Caption() const override { return WindowText(Handle_); }
    void SetCaption(const std::string& caption) override { SetWindowTextUtf8(Handle_, caption); }
    void SetFont(HFONT font);
    // Sets the outer size for a client size and places the window in the middle of the work area of its
    // monitor; a window larger than that area is made to fit it.
    void FitAndCenter(SIZE client);
    // Puts the window where placement says when that lies wholly in the work area of its monitor; false
    // (and nothing moved) when it does not.
    bool PlaceIfItFits(const layout::Placement& placement);
    std::optional<layout::Placement> Placement() const override;
    // The work area of the window's monitor: the screen without panels and task bar.
    RECT WorkArea() const;
    // What the frame adds to a client size.
    SIZE FrameSize() const;
    SIZE ClientSize() const;

    // The size the content needs; the client area scrolls where it is smaller.
    void SetContentSize(SIZE content);
    POINT ScrollOffset() const { return Offset_; }

    void SetWaitCursor(bool wait) override;
    bool WaitCursor() const { return Wait_; }

    // Processes every message waiting for the window's thread, then returns. A quit request met on the
    // way stays queued for the message loop.
    void ProcessPendingEvents() override;
    // Runs the message loop until a quit request; returns its exit code.
    int Run();
    // Asks the window to close, as its close box does (once the present handler has returned).
    void Close() override;
    // Ends the message loop; the window itself is destroyed by its owner afterwards.
    void Terminate() override;

    // A close request (close box, Alt+F4, Close): true ends the message loop, false keeps the window open.
    std::function<bool()> OnCloseRequest;
    // Keyboard shortcuts: Ctrl (and Shift) with a key raise OnShortcut with the command's number.
    struct Shortcut {
        WORD Key;
        bool Shift;
        int Command;
    };
    void SetShortcuts(const std::vector<Shortcut>& shortcuts);
    std::function<void(int command)> OnShortcut;
    // The Escape key (the dialog keys' cancel).
    std::function<void()> OnEscape;
    // Files dropped on the window (paths in UTF-8).
    std::function<void(const std::vector<std::string>& files)> OnFilesDropped;
    // The session is ending (logout, shutdown): asked first (true lets it end), then told.
    std::function<bool()> OnQueryEndSession;
    std::function<void()> OnEndSession;
    // About four times a second while the window exists.
    std::function<void()> OnTick;
    // The client area changed size or scrolled: the controls are to be placed again.
    std::function<void()> OnLayout;
    // The window moved to a monitor of another DPI.
    std::function<void(UINT dpi)> OnDpiChanged;

    // Hands one message to the dialog keys of this window; true when they took it.
    bool DialogKeys(MSG& message);

private:
    template <typename Owner> friend LRESULT CALLBACK OwnedWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT Proc(UINT message, WPARAM wParam, LPARAM lParam);
    void UpdateScrollBars();
    void Scroll(int bar, int request, int wheelDelta);

    void Dispatch(MSG& message);
    HWND Handle_ = nullptr;
    HACCEL Shortcuts_ = nullptr;
    HWND LastFocus_ = nullptr;
    SIZE Content_{0, 0};
    POINT Offset_{0, 0};
    bool Wait_ = false;
    bool InScrollUpdate_ = false;
};

} // namespace zelo::win32
