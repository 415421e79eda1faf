#pragma once
// Helpers for driving Windows controls in-process: pumping the queue, answering real boxes through a hook,
// and pixels of a control's painting. The window's own boxes are scripted (ScriptedDialogs.h).
#include "ScriptedDialogs.h"
#include "window/win32/Win32Api.h"
#include "window/win32/Win32CheckList.h"
#include "window/win32/Win32Text.h"

#include <string>
#include <vector>

namespace zelo::test {

// Dispatches every message that is waiting (posted leave events, paints), with the dialog keys of `dialog`.
void PumpPending(HWND dialog = nullptr);

// Real message boxes, file dialogs and password prompts of this thread are answered the moment they become
// active; what they showed is kept. A file dialog gets fileName typed into its name field first, a password
// prompt into its masked field.
class BoxAnswerer {
public:
    explicit BoxAnswerer(int answer, std::wstring fileName = {});
    ~BoxAnswerer();
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;

    struct Seen {
        std::string Title;
        std::string Text;
        bool HasNo = false;
        bool Masked = false; // a password field that hides what is typed
    };
    std::vector<Seen> Boxes;

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
    HHOOK Hook_ = nullptr;
    int Answer_;
    std::wstring FileName_;
};

// A control painted into a 32-bit bitmap: WM_PRINTCLIENT or owner drawing of one item.
class Pixels {
public:
    Pixels(int width, int height);
    ~Pixels();
    Pixels(const Pixels&) = delete;
    Pixels& operator=(const Pixels&) = delete;
    HDC Dc() const { return Dc_; }
    COLORREF At(int x, int y) const;
    // How many pixels of a rectangle have the colour.
    int Count(const RECT& area, COLORREF color) const;
    int Width() const { return Width_; }
    int Height() const { return Height_; }

private:
    HDC Dc_ = nullptr;
    HBITMAP Bitmap_ = nullptr;
    HGDIOBJ Old_ = nullptr;
    const std::uint32_t* Bits_ = nullptr;
    int Width_;
    int Height_;
};

// Types into an edit field as the user does, replacing what it held; the focus is left in the field.
void TypeInto(HWND field, const std::string& text);
// A click on the check box of a row of the check list.
void ClickRowBox(const win32::CheckList& list, int row);
// Chooses an entry of a drop-down list as the user does (the list tells its parent); false when it has none
// of that text.
bool ChooseItem(HWND list, const std::string& text);

using win32::WindowText;
// A control of a window by its ID, looked for among all its descendants.
HWND FindControl(HWND root, int id);

} // namespace zelo::test
