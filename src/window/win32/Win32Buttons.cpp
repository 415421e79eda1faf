#include "window/win32/Win32Buttons.h"
#include "window/win32/Win32EditField.h"
#include "window/win32/Win32Text.h"

#include <algorithm>
#include <cwchar>
#include <utility>
#include <vector>

namespace zelo::win32 {

void Button::Create(HWND parent, int id, const std::string& caption) {
    Control::Create(L"BUTTON", caption, WS_TABSTOP | BS_PUSHBUTTON, 0, parent, id);
}

void Button::Notified(int code) {
    if (code != BN_CLICKED)
        return;
    // A field refused on being left takes the focus back: the click that left it does not happen, as with
    // the mouse, where the refusal's box takes the press away from the button.
    if (EditField::JudgeLeftFields() && ::GetFocus() != Handle())
        return;
    RunHandler(OnClick);
}

void CheckBox::Create(HWND parent, int id, const std::string& caption) {
    Control::Create(L"BUTTON", caption, WS_TABSTOP | BS_AUTOCHECKBOX, 0, parent, id);
}

bool CheckBox::Checked() const {
    return Handle() != nullptr && ::SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void CheckBox::SetChecked(bool checked) {
    if (Handle() != nullptr)
        ::SendMessageW(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void CheckBox::Notified(int code) {
    if (code != BN_CLICKED)
        return;
    EditField::JudgeLeftFields();
    RunHandler(OnClick);
}

void RadioButton::Create(HWND parent, int id, const std::string& caption, bool firstOfGroup) {
    Control::Create(L"BUTTON", caption, BS_AUTORADIOBUTTON | (firstOfGroup ? WS_GROUP | WS_TABSTOP : 0), 0,
                    parent, id);
}

void RadioGroup::Create(HWND parent, int frameId, const std::vector<int>& itemIds, const std::string& caption,
                        const std::vector<std::string>& items) {
    Items_.clear();
    // The buttons before their frame: the frame lies beneath them and the Tab key meets the buttons only.
    for (std::size_t i = 0; i < items.size() && i < itemIds.size(); ++i) {
        auto item = std::make_unique<RadioButton>();
        item->Create(parent, itemIds[i], items[i], i == 0);
        const int index = static_cast<int>(i);
        item->OnClick = [this, index] {
            if (OnClick)
                OnClick(index);
        };
        Items_.push_back(std::move(item));
    }
    Control::Create(L"BUTTON", caption, BS_GROUPBOX, 0, parent, frameId);
}

int RadioGroup::ItemIndex() const {
    for (std::size_t i = 0; i < Items_.size(); ++i)
        if (Items_[i]->Checked())
            return static_cast<int>(i);
    return -1;
}

void RadioGroup::SetItemIndex(int index) {
    for (std::size_t i = 0; i < Items_.size(); ++i)
        Items_[i]->SetChecked(static_cast<int>(i) == index);
}

void RadioGroup::SetFocus() {
    const int index = ItemIndex();
    if (!Items_.empty())
        Items_[static_cast<std::size_t>(index >= 0 ? index : 0)]->Focus();
}

void RadioGroup::SetEnabled(bool enabled) {
    Control::SetEnabled(enabled);
    for (auto& item : Items_)
        item->SetEnabled(enabled);
}

void RadioGroup::SetVisible(bool visible) {
    Control::SetVisible(visible);
    for (auto& item : Items_)
        item->SetVisible(visible);
}

} // namespace zelo::win32
