#pragma once
// The controls the window's logic reads and writes. Each view implements them over its own widgets (Qt on
// Linux, plain Win32 controls on Windows); the logic's tests implement them with fakes.
//
// Rules every implementation keeps:
// - Texts are UTF-8. Indexes count from 0; -1 means "none".
// - A change made through these calls raises no event: only the user's own actions (leaving a field, a click,
//   a toggle, a choice, typing into the command list, the close box) are forwarded to the logic's handlers.
// - Enabled() is the control's own state. Disabling a container makes its contents unusable without changing
//   their own states, so enabling it again gives each control its state back.
// - Visible() is the control's own state too: a control set visible shows whenever its window does.
#include "device/StatusDisplay.h"
#include "window/Layout.h"

#include <optional>
#include <string>
#include <vector>

namespace zelo {

class IControl {
public:
    virtual ~IControl() = default;
    virtual bool Enabled() const = 0;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool Visible() const = 0;
    virtual void SetVisible(bool visible) = 0;
    // Moves the keyboard focus here. A view may report the field that loses it as left; the logic ignores
    // that exit while it moves the focus itself.
    virtual void SetFocus() = 0;
};

// A panel holding other controls.
using IContainer = IControl;
// A push button; its caption and accelerator are the view's. Also a label the logic shows or hides.
using IButton = IControl;

// A single-line edit field.
class IEditField : public IControl {
public:
    virtual std::string Text() const = 0;
    virtual void SetText(const std::string& text) = 0;
};

class ICheckBox : public IControl {
public:
    virtual bool Checked() const = 0;
    virtual void SetChecked(bool checked) = 0;
};

// A group of radio buttons; the item index is the button chosen.
class IRadioGroup : public IControl {
public:
    virtual int ItemIndex() const = 0;
    virtual void SetItemIndex(int index) = 0;
};

// A drop-down list; the device list also takes a name typed by hand.
class IComboBox : public IControl {
public:
    // Replaces the entries; nothing is chosen afterwards.
    virtual void SetItems(const std::vector<std::string>& items) = 0;
    virtual int ItemCount() const = 0;
    virtual std::string ItemText(int index) const = 0;
    virtual int ItemIndex() const = 0;
    // Chooses an entry, whose text the field then shows.
    virtual void SetItemIndex(int index) = 0;
    // The text the field shows: the chosen entry's, or what was typed into an editable list (while the
    // entry chosen before stays the item index).
    virtual std::string Text() const = 0;
    virtual void SetText(const std::string& text) = 0;
};

// A list of check boxes (shown in two columns), each row with its own check mark and enabled state, and a
// current row. The user toggles only enabled rows; a toggle makes its row current before the logic hears of
// it.
class ICheckList : public IControl {
public:
    // Replaces the rows: all enabled, none checked, no current row.
    virtual void SetItems(const std::vector<std::string>& items) = 0;
    virtual int Count() const = 0;
    virtual bool Checked(int row) const = 0;
    virtual void SetChecked(int row, bool checked) = 0;
    virtual bool ItemEnabled(int row) const = 0;
    virtual void SetItemEnabled(int row, bool enabled) = 0;
    virtual int CurrentRow() const = 0;
    virtual void SetCurrentRow(int row) = 0;
};

// The multi-line command list, seen as lines: the text split at its line ends. An empty text is one empty
// line, and a text that ends with a line end has an empty last line. Lines passed in hold no line end.
class ICommandList : public IControl {
public:
    virtual int LineCount() const = 0;
    virtual std::string Line(int index) const = 0;
    // Replaces the text of one line; the others keep their text and order.
    virtual void ReplaceLine(int index, const std::string& text) = 0;
    // Inserts a line before line index, which then follows it; index == LineCount() adds a new last line
    // after a line end put behind the present last one.
    virtual void InsertLine(int index, const std::string& text) = 0;
    // The whole text, lines joined by "\n".
    virtual std::string Text() const = 0;
    virtual void SetText(const std::string& text) = 0;
    // Puts the cursor at the start of the line and scrolls it into view.
    virtual void ScrollToLine(int index) = 0;
    // Selects the whole line (the cursor at its start) and scrolls it into view.
    virtual void SelectLine(int index) = 0;
};

// The window itself.
class IForm {
public:
    virtual ~IForm() = default;
    virtual std::string Caption() const = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    // The hourglass over the whole screen, or the default cursor back.
    virtual void SetWaitCursor(bool waiting) = 0;
    // Handles the window messages that are waiting (repaints, clicks, the close box) and returns.
    virtual void ProcessPendingEvents() = 0;
    // Asks the window to close, as the close box does; the view then asks TwinMain::FormCloseQuery. The view
    // may carry it out once the running handler has returned, and must not destroy the logic inside this
    // call.
    virtual void Close() = 0;
    // Ends the application's message loop; the window is destroyed afterwards.
    virtual void Terminate() = 0;
    // Where the window is: its frame's top-left corner and its client size, in the screen's pixels; nothing
    // when the view cannot say.
    virtual std::optional<layout::Placement> Placement() const { return std::nullopt; }
};

// Every control the logic uses, with its interface, by the names the window has always given them: each
// name is also the control's id in the layout table, where a view finds what to create. One entry here is
// one member of WindowControls, filled from the view's registry (see Wiring.h).
#define ZELO_WINDOW_CONTROLS(X)                                                                              \
    /* Bands */                                                                                              \
    X(IContainer, DeviceSetupContainer)                                                                      \
    X(IContainer, GroupAddressContainer)                                                                     \
    X(ICommandList, CommandList)                                                                             \
    X(IContainer, ButtonContainer)                                                                           \
    /* Device setup */                                                                                       \
    X(IComboBox, cmbDevice)                                                                                  \
    X(IComboBox, cmbBaudrate)                                                                                \
    X(IEditField, txtPhyAdr)                                                                                 \
    X(ICheckBox, chkPrintSource)                                                                             \
    X(ICheckBox, chkPrintHex)                                                                                \
    X(ICheckBox, chkFullDuplex)                                                                              \
    /* The TCP link's address, shown only while the device is TCP/IP */                                      \
    X(IControl, labHost)                                                                                     \
    X(IEditField, txtHost)                                                                                   \
    X(IControl, labPort)                                                                                     \
    X(IEditField, txtPort)                                                                                   \
    /* Group addresses */                                                                                    \
    X(IEditField, txtGrpAdrStart)                                                                            \
    X(IEditField, txtGrpAdrEnd)                                                                              \
    X(IRadioGroup, grpAccessType)                                                                            \
    X(ICheckList, EibDptList)                                                                                \
    X(IButton, btnAdd)                                                                                       \
    X(IButton, btnAddAll)                                                                                    \
    X(IButton, btnIgnore)                                                                                    \
    X(IButton, btnImport)                                                                                    \
    X(IButton, btnAbort)                                                                                     \
    /* Progress */                                                                                           \
    X(ILabel, labStatus)                                                                                     \
    X(IGauge, ProgressBar)                                                                                   \
    X(IButton, btnStop)                                                                                      \
    /* Buttons */                                                                                            \
    X(IButton, btnMonitor)                                                                                   \
    X(IButton, btnOpen)                                                                                      \
    X(IButton, btnSave)                                                                                      \
    X(IButton, btnDownload)                                                                                  \
    X(IButton, btnExit)

// The controls once a view has made them, handed to TwinMain; the controls outlive it.
struct WindowControls {
    IForm* winMain = nullptr;
#define ZELO_CONTROL_MEMBER(Interface, name) Interface* name = nullptr;
    ZELO_WINDOW_CONTROLS(ZELO_CONTROL_MEMBER)
#undef ZELO_CONTROL_MEMBER
};

} // namespace zelo
