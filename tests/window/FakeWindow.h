#pragma once
// The window logic on fake controls: each fake keeps its state as a view's control would, the harness plays
// the user (typing, Tab, clicks, toggles, choices, the close box) and forwards the events as a view does, and
// every box goes to ScriptedDialogs. No toolkit, no display.
#include "ScriptedDialogs.h"
#include "window/Controls.h"
#include "window/Layout.h"
#include "window/TwinMain.h"
#include "window/Wiring.h"

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zelo::test {

class FakeWindow;

using Lines = std::vector<std::string>;
// The setup line of a window started without a settings file.
inline const std::string SetupLine0 = "#SETUP=15.15.255;OFF;OFF;OFF";

// A box with its text, title and flags as shown.
void ExpectBox(const ShownBox& box, const std::string& text, const std::string& title, int flags);

// German is the language while it lives; English again afterwards.
struct InGerman {
    InGerman();
    ~InGerman();
    InGerman(const InGerman&) = delete;
    InGerman& operator=(const InGerman&) = delete;
};

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& Path() const { return Path_; }
    std::string File(const std::string& name) const;
    // Writes bytes to a file in the folder and returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const;

private:
    std::string Path_;
};

std::string ReadBytes(const std::string& path);

// A command list of the setup line and as many group lines as the gateway's table holds (0/0/0 to 15/7/255).
std::string FullCommandList();

// Enabled state and focus as a view keeps them.
template <typename Interface> class Fake : public Interface {
public:
    Fake(FakeWindow& window, layout::ControlId id) : Window(window), Id(id) {}
    bool Enabled() const override { return Enabled_; }
    void SetEnabled(bool enabled) override { Enabled_ = enabled; }
    bool Visible() const override { return Visible_; }
    void SetVisible(bool visible) override { Visible_ = visible; }
    void SetFocus() override;
    FakeWindow& Window;
    const layout::ControlId Id;
    bool Enabled_ = true;
    bool Visible_ = true;
};

using FakeControl = Fake<IControl>;

class FakeEdit : public Fake<IEditField> {
public:
    using Fake::Fake;
    std::string Text() const override { return Value; }
    void SetText(const std::string& text) override { Value = text; }
    std::string Value;
};

class FakeCheckBox : public Fake<ICheckBox> {
public:
    using Fake::Fake;
    bool Checked() const override { return Value; }
    void SetChecked(bool checked) override { Value = checked; }
    bool Value = false;
};

class FakeRadioGroup : public Fake<IRadioGroup> {
public:
    using Fake::Fake;
    int ItemIndex() const override { return Index; }
    void SetItemIndex(int index) override { Index = index; }
    int Index = -1;
};

class FakeCombo : public Fake<IComboBox> {
public:
    using Fake::Fake;
    void SetItems(const std::vector<std::string>& items) override;
    int ItemCount() const override { return static_cast<int>(Items.size()); }
    std::string ItemText(int index) const override { return Items.at(static_cast<std::size_t>(index)); }
    int ItemIndex() const override { return Index; }
    void SetItemIndex(int index) override;
    std::string Text() const override { return Shown; }
    void SetText(const std::string& text) override { Shown = text; }
    // The chosen entry's text, empty for none.
    std::string Current() const { return Index < 0 ? std::string() : ItemText(Index); }
    std::vector<std::string> Items;
    int Index = -1;
    // The field's text: typing changes it alone, as in the views.
    std::string Shown;
};

class FakeCheckList : public Fake<ICheckList> {
public:
    using Fake::Fake;
    struct Row {
        std::string Text;
        bool Checked = false;
        bool Enabled = true;
    };
    void SetItems(const std::vector<std::string>& items) override;
    int Count() const override { return static_cast<int>(Rows.size()); }
    bool Checked(int row) const override { return Rows.at(static_cast<std::size_t>(row)).Checked; }
    void SetChecked(int row, bool checked) override {
        Rows.at(static_cast<std::size_t>(row)).Checked = checked;
    }
    bool ItemEnabled(int row) const override { return Rows.at(static_cast<std::size_t>(row)).Enabled; }
    void SetItemEnabled(int row, bool enabled) override {
        Rows.at(static_cast<std::size_t>(row)).Enabled = enabled;
    }
    int CurrentRow() const override { return Current; }
    void SetCurrentRow(int row) override { Current = row; }
    std::vector<int> CheckedRows() const;
    std::vector<int> EnabledRows() const;
    std::vector<Row> Rows;
    int Current = -1;
};

// Lines in a vector; every change, the logic's own too, is reported to the logic as a view reports it.
class FakeCommandList : public Fake<ICommandList> {
public:
    using Fake::Fake;
    int LineCount() const override { return static_cast<int>(Lines.size()); }
    std::string Line(int index) const override { return Lines.at(static_cast<std::size_t>(index)); }
    void ReplaceLine(int index, const std::string& text) override;
    void InsertLine(int index, const std::string& text) override;
    std::string Text() const override;
    void SetText(const std::string& text) override;
    void ScrollToLine(int index) override;
    void SelectLine(int index) override;
    std::vector<std::string> Lines{""};
    // The line last scrolled to (selected or not), and the line selected (-1: none; an edit clears it).
    int ShownLine = -1;
    int SelectedLine = -1;

private:
    void Changed();
};

class FakeLabel : public ILabel {
public:
    FakeLabel(FakeWindow& window, layout::ControlId) : Window(window) {}
    void SetText(const std::string& text) override { Value = text; }
    void RepaintNow() override { ++Repaints; }
    FakeWindow& Window;
    std::string Value;
    int Repaints = 0;
};

// The monitor window's view: its lines, its controls' states and whether its timer runs.
class FakeMonitor : public IMonitorForm {
public:
    template <typename Interface> struct Control : Interface {
        bool Enabled() const override { return true; }
        void SetEnabled(bool) override {}
        bool Visible() const override { return true; }
        void SetVisible(bool) override {}
        void SetFocus() override {}
    };
    struct Lines : Control<ILineView> {
        void AppendLines(const std::vector<std::string>& lines) override {
            Shown.insert(Shown.end(), lines.begin(), lines.end());
        }
        void RemoveFirstLines(int count) override { Shown.erase(Shown.begin(), Shown.begin() + count); }
        void ClearLines() override { Shown.clear(); }
        int LineCount() const override { return static_cast<int>(Shown.size()); }
        std::string LineText(int index) const override { return Shown.at(static_cast<std::size_t>(index)); }
        std::vector<std::string> Shown;
    };
    struct Edit : Control<IEditField> {
        std::string Text() const override { return Value; }
        void SetText(const std::string& text) override { Value = text; }
        std::string Value;
    };
    struct Check : Control<ICheckBox> {
        bool Checked() const override { return Value; }
        void SetChecked(bool checked) override { Value = checked; }
        bool Value = false;
    };
    struct Label : ILabel {
        void SetText(const std::string& text) override { Value = text; }
        void RepaintNow() override {}
        std::string Value;
    };

    explicit FakeMonitor(Dialogs& dialogs);
    void Show() override { Shown = true; }
    void SetCaption(const std::string& caption) override { Caption = caption; }
    void SetTicking(bool on) override { Ticking = on; }
    // Lets the timer tick (a millisecond apart) until at least count lines are on show; false when they do
    // not come within the seconds given.
    bool TickUntilShown(std::size_t count, int seconds = 10);

    bool Shown = false;
    bool Ticking = false;
    std::string Caption;
    Lines lstLines;
    Edit txtFilter;
    Check chkPause;
    Control<IControl> btnClear, btnSaveLog, btnNames;
    Label labCount, labStatus;
    std::unique_ptr<MonitorWindow> Logic;
};

class FakeGauge : public IGauge {
public:
    FakeGauge(FakeWindow& window, layout::ControlId) : Window(window) {}
    void SetMinimum(int value) override { Minimum = value; }
    void SetMaximum(int value) override { Maximum = value; }
    void SetPosition(int value) override { Position = value; }
    void RepaintNow() override;
    FakeWindow& Window;
    int Minimum = 0;
    int Maximum = 100;
    int Position = 0;
};

class FakeForm : public IForm {
public:
    explicit FakeForm(FakeWindow& window) : Window(window) {}
    std::string Caption() const override { return Value; }
    void SetCaption(const std::string& caption) override { Value = caption; }
    void SetWaitCursor(bool waiting) override { WaitCursor = waiting; }
    void ProcessPendingEvents() override { ++EventRounds; }
    void Close() override;
    void Terminate() override { Terminated = true; }
    std::optional<layout::Placement> Placement() const override { return Where; }
    FakeWindow& Window;
    std::optional<layout::Placement> Where; // as the view would say; nothing before it shows
    std::string Value = layout::WindowCaption;
    bool WaitCursor = false;
    bool Closed = false;
    bool Terminated = false;
    int EventRounds = 0;
};

// The fake made for each of the logic's interfaces.
template <typename Interface> struct FakeFor { using Type = Fake<Interface>; };
template <> struct FakeFor<IEditField> { using Type = FakeEdit; };
template <> struct FakeFor<ICheckBox> { using Type = FakeCheckBox; };
template <> struct FakeFor<IRadioGroup> { using Type = FakeRadioGroup; };
template <> struct FakeFor<IComboBox> { using Type = FakeCombo; };
template <> struct FakeFor<ICheckList> { using Type = FakeCheckList; };
template <> struct FakeFor<ICommandList> { using Type = FakeCommandList; };
template <> struct FakeFor<ILabel> { using Type = FakeLabel; };
template <> struct FakeFor<IGauge> { using Type = FakeGauge; };

// What the window showed each time the driver had the gauge or label painted during a download.
struct Frame {
    std::string Status;
    int Position = 0;
    int Maximum = 0;
    bool AreasEnabled = false;
    bool WaitCursor = false;
    bool StopShown = false;
    std::optional<layout::ControlId> Focus;
    bool FocusUsable = false; // the control with the focus can be operated
    bool operator==(const Frame&) const = default;
};

class FakeWindow {
public:
    // settings: the settings file's content (nullopt: no file); settingsPath: where it is (default: a fresh
    // folder's zelo.ini). The start-up runs here; its error leaves the constructor.
    explicit FakeWindow(const std::optional<std::string>& settings = std::nullopt,
                        const std::string& settingsPath = {}, std::vector<os::PortInfo> ports = {});
    ~FakeWindow();
    FakeWindow(const FakeWindow&) = delete;
    FakeWindow& operator=(const FakeWindow&) = delete;

    TwinMain& Logic() { return *Logic_; }
    std::vector<std::string> Lines() const { return Logic_->Document().Lines(); }
    // Destroys the window logic (FormDestroy runs) and returns the settings file's content.
    std::string Close();

    // ---- The user ----
    // Puts the focus into a field, types the text over it and leaves it with Tab.
    void Enter(FakeEdit& field, const std::string& text);
    // Types a name into the device list's field and leaves it with Tab.
    void Enter(FakeCombo& list, const std::string& text);
    // Clicks a button or an option box (which takes the focus), or presses its accelerator key, which the
    // view hands to the logic as a key together with the control that has the focus.
    void Click(FakeControl& button);
    void Accelerator(FakeControl& button);
    void Click(FakeCheckBox& box);
    // Clicks the check box of a datapoint type, or its text.
    void ToggleType(int row);
    void ClickTypeText(int row);
    void ChooseAccess(int index);
    void Choose(FakeCombo& list, const std::string& entry);
    // The user's own edit of the command list: the whole text replaced.
    void EditCommandList(const std::string& text);
    // The close box; true when the window closed.
    bool CloseBox();
    // Ctrl (and Shift) with a letter, as a key; Escape.
    void Shortcut(layout::Command command);
    void Escape();
    // The device list opened (it reads the ports again).
    void OpenDeviceList();
    void Drop(const std::vector<std::string>& files);
    // A termination request reaching the window (SIGTERM, the session's end).
    void Terminate();
    // Start and end entered, the type checked (unless it is already), then Add clicked.
    void AddRange(const std::string& start, const std::string& end, int type);

    // Whether the user can operate the control: its own state and its area's.
    bool Usable(layout::ControlId id) const;
    // Moves the focus as the view would; the edit field it leaves reports its exit.
    void MoveFocus(layout::ControlId to);
    std::optional<layout::ControlId> Focused;
    // The gauge was painted: during a download, what the window shows is kept in Frames, and the first such
    // paint runs OnFirstFrame (user input that arrives while the download runs).
    void RecordFrame();
    std::function<void()> OnFirstFrame;
    // Runs at every such paint, after OnFirstFrame.
    std::function<void(const Frame&)> OnEachFrame;
    void CommandListChanged();

    ScratchFolder Dir;
    std::string SettingsPath;
    ScriptedDialogs Boxes;
    std::vector<Frame> Frames;
    // The serial devices the system reports, read each time the device list is filled.
    std::vector<os::PortInfo> Ports;

    FakeForm winMain;
    // Every control of WindowControls as a fake of its interface, under its name.
#define ZELO_FAKE_MEMBER(Interface, name) FakeFor<Interface>::Type name{*this, layout::ControlId::name};
    ZELO_WINDOW_CONTROLS(ZELO_FAKE_MEMBER)
#undef ZELO_FAKE_MEMBER
    ControlRegistry Registry;

private:
    // The user's event as a view hands it on.
    void Raise(layout::ControlId id, ControlEvent event);
    std::unique_ptr<TwinMain> Logic_;

public:
    // Made at the first click on Monitor..., as a view makes its monitor window.
    std::unique_ptr<FakeMonitor> Monitor;
};

// A box as the user sees it in German: Show drives a fresh window into it and returns it, Text is the
// German text with <file> where Show's file is named, Title the German title (empty: the window's own
// caption); with Reason the system's reason, in its own words, follows the text.
struct GermanBox {
    const char* Case;
    std::function<ShownBox(FakeWindow&)> Show;
    std::string Text;
    std::string Title = {};
    bool Reason = false;
};
void ExpectGermanBoxes(std::span<const GermanBox> boxes);
// The last box the window showed (an empty one when there is none), a file's path in it as <file>.
ShownBox LastBox(const FakeWindow& w, const std::string& file = {});
ShownBox LastPrompt(const FakeWindow& w);

} // namespace zelo::test
