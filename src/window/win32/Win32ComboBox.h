#pragma once
#include "window/win32/Win32Control.h"

#include <functional>
#include <string>
#include <vector>

namespace zelo::win32 {

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

} // namespace zelo::win32
