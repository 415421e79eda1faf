#pragma once
#include "window/win32/Win32Control.h"

#include <string>

namespace zelo::win32 {

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

} // namespace zelo::win32
