#pragma once
#include "window/win32/Win32Control.h"

#include <functional>
#include <string>

namespace zelo::win32 {

// A single-line edit field. Leaving it (the focus moves to another control of the same window) raises
// OnLeave once the focus change is complete. Losing the focus to another window, to a box or a menu, or
// because the program moves the focus, is no leave.
class EditField : public ControlFor<IEditField> {
public:
    ~EditField() override;

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

} // namespace zelo::win32
