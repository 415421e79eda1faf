#pragma once
#include "window/win32/Win32Control.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zelo::win32 {

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

} // namespace zelo::win32
