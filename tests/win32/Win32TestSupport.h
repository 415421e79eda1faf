#pragma once
// Helpers for driving Windows controls in-process: pumping the queue, answering real boxes through a hook,
// and pixels of a control's painting. The window's own boxes are scripted (ScriptedDialogs.h).
#include "ScriptedDialogs.h"
#include "window/win32/Win32Api.h"
#include "window/win32/Win32CheckList.h"
#include "window/win32/Win32Text.h"

#include <filesystem>
#include <string>
#include <vector>

namespace zelo::test {

inline constexpr const char* NoWindow =
    "no window: the Windows window tests need an X display; run them under xvfb-run as scripts/test does";

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
// A mouse click (or the second click of a double click) at a point of a control's client area.
void ClickAt(HWND control, POINT point, UINT down = WM_LBUTTONDOWN);
// A click on the check box of a row of the check list, or on the row's text at its right-hand end.
void ClickRowBox(const win32::CheckList& list, int row);
void ClickRowText(const win32::CheckList& list, int row);
// Chooses an entry of a drop-down list as the user does (the list tells its parent); false when it has none
// of that text.
bool ChooseItem(HWND list, const std::string& text);

// Whether WM_QUIT is waiting (it is taken off the queue).
bool QuitWaiting();

// A folder of its own under the temporary folder, removed afterwards.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& Path() const { return Path_; }
    std::string File(const std::string& name) const { return (Path_ / name).string(); }

private:
    std::filesystem::path Path_;
};

// A file's bytes as they are; empty when it cannot be read.
std::string ReadBytes(const std::string& path);

using win32::WindowText;
// A control of a window by its ID, looked for among all its descendants.
HWND FindControl(HWND root, int id);

} // namespace zelo::test
