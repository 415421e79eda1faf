#include "FakeWindow.h"
#include "model/Address.h"
#include "window/Catalogue.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <thread>
#include <utility>

namespace zelo::test {

using layout::ControlId;

// ---- Scratch folder ----

ScratchFolder::ScratchFolder() {
    std::random_device random;
    for (int attempt = 0; attempt < 100 && Path_.empty(); ++attempt) {
        const auto path = std::filesystem::temp_directory_path() /
                          ("zelo-window-" + std::to_string(random()) + std::to_string(attempt));
        if (std::filesystem::create_directory(path))
            Path_ = path.string();
    }
    if (Path_.empty())
        throw std::runtime_error("no scratch folder");
}

ScratchFolder::~ScratchFolder() {
    std::error_code error;
    std::filesystem::remove_all(Path_, error);
}

std::string ScratchFolder::File(const std::string& name) const {
    return (std::filesystem::path(Path_) / name).string();
}

std::string ScratchFolder::Write(const std::string& name, const std::string& bytes) const {
    const std::string path = File(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string FullCommandList() {
    std::string text = "#SETUP=15.15.255;OFF;OFF;OFF\n";
    for (int i = 0; i < 32768; ++i)
        text += "#DG" + GroupAddressToText(static_cast<std::uint16_t>(i)) + "=BIT;RW\n";
    return text;
}

void ExpectBox(const ShownBox& box, const std::string& text, const std::string& title, int flags) {
    EXPECT_EQ(box.Text, text);
    EXPECT_EQ(box.Title, title);
    EXPECT_EQ(box.Flags, flags);
}

InGerman::InGerman() {
    SetLanguage(Language::German);
}

InGerman::~InGerman() {
    SetLanguage(Language::English);
}

ShownBox LastBox(const FakeWindow& w, const std::string& file) {
    ShownBox box = w.Boxes.Boxes.empty() ? ShownBox{} : w.Boxes.Boxes.back();
    for (std::size_t at = 0; !file.empty() && (at = box.Text.find(file, at)) != std::string::npos;)
        box.Text.replace(at, file.size(), "<file>");
    return box;
}

ShownBox LastPrompt(const FakeWindow& w) {
    ShownBox box;
    if (!w.Boxes.Prompts.empty()) {
        box.Text = w.Boxes.Prompts.back().Prompt;
        box.Title = w.Boxes.Prompts.back().Title;
    }
    return box;
}

void ExpectGermanBoxes(std::span<const GermanBox> boxes) {
    const InGerman german;
    for (const GermanBox& expected : boxes) {
        SCOPED_TRACE(expected.Case);
        FakeWindow w;
        const ShownBox shown = expected.Show(w);
        if (expected.Reason) {
            EXPECT_TRUE(shown.Text.starts_with(expected.Text)) << shown.Text;
            EXPECT_GT(shown.Text.size(), expected.Text.size()) << "no reason given";
        } else {
            EXPECT_EQ(shown.Text, expected.Text);
        }
        EXPECT_EQ(shown.Title, expected.Title.empty() ? w.winMain.Value : expected.Title);
    }
}

// ---- Controls ----

template <typename Interface> void Fake<Interface>::SetFocus() {
    Window.MoveFocus(Id);
}

void FakeCombo::SetItems(const std::vector<std::string>& items) {
    Items = items;
    Index = -1;
    Shown.clear();
}

void FakeCombo::SetItemIndex(int index) {
    Index = index;
    Shown = index < 0 ? std::string() : ItemText(index);
}

void FakeCheckList::SetItems(const std::vector<std::string>& items) {
    Rows.clear();
    for (const std::string& text : items)
        Rows.push_back({text, false, true});
    Current = -1;
}

std::vector<int> FakeCheckList::CheckedRows() const {
    std::vector<int> rows;
    for (int i = 0; i < Count(); ++i)
        if (Checked(i))
            rows.push_back(i);
    return rows;
}

std::vector<int> FakeCheckList::EnabledRows() const {
    std::vector<int> rows;
    for (int i = 0; i < Count(); ++i)
        if (ItemEnabled(i))
            rows.push_back(i);
    return rows;
}

void FakeCommandList::ReplaceLine(int index, const std::string& text) {
    Lines.at(static_cast<std::size_t>(index)) = text;
    Changed();
}

void FakeCommandList::ScrollToLine(int index) {
    EXPECT_GE(index, 0);
    EXPECT_LT(index, LineCount());
    ShownLine = index;
    SelectedLine = -1;
}

void FakeCommandList::SelectLine(int index) {
    ScrollToLine(index);
    SelectedLine = index;
}

void FakeCommandList::InsertLine(int index, const std::string& text) {
    EXPECT_GE(index, 0);
    EXPECT_LE(index, LineCount());
    Lines.insert(Lines.begin() + std::min(index, LineCount()), text);
    Changed();
}

std::string FakeCommandList::Text() const {
    std::string text;
    for (std::size_t i = 0; i < Lines.size(); ++i)
        text += (i > 0 ? "\n" : "") + Lines[i];
    return text;
}

void FakeCommandList::SetText(const std::string& text) {
    Lines.clear();
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        Lines.push_back(text.substr(start, end - start));
    Lines.push_back(text.substr(start));
    Changed();
}

void FakeCommandList::Changed() {
    SelectedLine = -1;
    // As a view does: every change is reported, the window's own included.
    Window.CommandListChanged();
}

void FakeGauge::RepaintNow() {
    Window.RecordFrame();
}

void FakeForm::Close() {
    Window.CloseBox();
}

// ---- The window ----

FakeWindow::FakeWindow(const std::optional<std::string>& settings, const std::string& settingsPath,
                       std::vector<os::PortInfo> ports)
    : SettingsPath(settingsPath.empty() ? Dir.File("zelo.ini") : settingsPath), Ports(std::move(ports)),
      winMain(*this) {
    if (settings)
        Dir.Write("zelo.ini", *settings);
#define ZELO_REGISTER(Interface, name) Registry.Add(ControlId::name, name);
    ZELO_WINDOW_CONTROLS(ZELO_REGISTER)
#undef ZELO_REGISTER
    Logic_ = std::make_unique<TwinMain>(FillControls(winMain, Registry), Boxes, SettingsPath,
                                        [this] { return Ports; });
    Logic_->MonitorView = [this] {
        if (!Monitor)
            Monitor = std::make_unique<FakeMonitor>(Boxes);
        return Monitor->Logic.get();
    };
}

FakeWindow::~FakeWindow() {
    Logic_.reset();
}

std::string FakeWindow::Close() {
    Logic_.reset();
    return ReadBytes(SettingsPath);
}

void FakeWindow::CommandListChanged() {
    if (Logic_)
        Raise(ControlId::CommandList, ControlEvent::Changed);
}

void FakeWindow::Raise(ControlId id, ControlEvent event) {
    Dispatch(*Logic_, id, event, Focused);
}

void FakeWindow::MoveFocus(ControlId to) {
    const std::optional<ControlId> from = Focused;
    Focused = to;
    if (!from || *from == to || !Logic_)
        return;
    const auto events = EventsOf(layout::Info(*from));
    if (std::find(events.begin(), events.end(), ControlEvent::Left) != events.end())
        Raise(*from, ControlEvent::Left);
}

bool FakeWindow::Usable(ControlId id) const {
    // A radio button is usable as its group is.
    const ControlId own =
        layout::Info(id).Kind == layout::ControlKind::RadioButton ? layout::Info(id).Parent : id;
    const IControl* control = Registry.Find(own);
    if (control == nullptr) {
        ADD_FAILURE() << "no control the user operates: " << layout::Info(id).Name;
        return false;
    }
    // An area the logic does not know (the progress band) is never disabled.
    const ControlId area = layout::Info(own).Parent;
    const IControl* panel = area == layout::Client ? nullptr : Registry.Find(area);
    return control->Enabled() && control->Visible() && (panel == nullptr || panel->Enabled());
}

void FakeWindow::Enter(FakeCombo& list, const std::string& text) {
    ASSERT_TRUE(Usable(list.Id)) << layout::Info(list.Id).Name;
    MoveFocus(list.Id);
    list.Shown = text;
    MoveFocus(ControlId::cmbBaudrate);
}

void FakeWindow::Enter(FakeEdit& field, const std::string& text) {
    ASSERT_TRUE(Usable(field.Id)) << layout::Info(field.Id).Name;
    MoveFocus(field.Id);
    field.Value = text;
    // Tab: the next control in the tab order.
    const auto order = layout::TabOrder();
    const auto at = std::find(order.begin(), order.end(), field.Id);
    MoveFocus(at + 1 == order.end() ? order.front() : *(at + 1));
}

void FakeWindow::Click(FakeControl& button) {
    ASSERT_TRUE(Usable(button.Id)) << layout::Info(button.Id).Name;
    MoveFocus(button.Id);
    Raise(button.Id, ControlEvent::Used);
}

void FakeWindow::Accelerator(FakeControl& button) {
    ASSERT_TRUE(Usable(button.Id)) << layout::Info(button.Id).Name;
    Raise(button.Id, ControlEvent::Accelerator);
}

void FakeWindow::Click(FakeCheckBox& box) {
    ASSERT_TRUE(Usable(box.Id)) << layout::Info(box.Id).Name;
    MoveFocus(box.Id);
    box.Value = !box.Value;
    Raise(box.Id, ControlEvent::Used);
}

void FakeWindow::ToggleType(int row) {
    ASSERT_TRUE(Usable(ControlId::EibDptList));
    MoveFocus(ControlId::EibDptList);
    // A disabled row does not react.
    if (!EibDptList.ItemEnabled(row))
        return;
    EibDptList.Current = row;
    EibDptList.SetChecked(row, !EibDptList.Checked(row));
    Raise(ControlId::EibDptList, ControlEvent::Used);
}

void FakeWindow::ClickTypeText(int row) {
    ASSERT_TRUE(Usable(ControlId::EibDptList));
    MoveFocus(ControlId::EibDptList);
    // The click makes the row current, whether or not it is enabled; the logic decides the rest.
    EibDptList.Current = row;
    Raise(ControlId::EibDptList, ControlEvent::TextClicked);
}

void FakeWindow::ChooseAccess(int index) {
    ASSERT_TRUE(Usable(ControlId::grpAccessType));
    MoveFocus(static_cast<ControlId>(static_cast<int>(ControlId::grpAccessType0) + index));
    grpAccessType.Index = index;
    Raise(ControlId::grpAccessType, ControlEvent::Used);
}

void FakeWindow::Choose(FakeCombo& list, const std::string& entry) {
    ASSERT_TRUE(Usable(list.Id)) << layout::Info(list.Id).Name;
    const auto at = std::find(list.Items.begin(), list.Items.end(), entry);
    ASSERT_NE(at, list.Items.end()) << entry;
    MoveFocus(list.Id);
    list.SetItemIndex(static_cast<int>(at - list.Items.begin()));
    Raise(list.Id, ControlEvent::Used);
}

void FakeWindow::EditCommandList(const std::string& text) {
    ASSERT_TRUE(Usable(ControlId::CommandList));
    MoveFocus(ControlId::CommandList);
    CommandList.SetText(text);
}

void FakeWindow::Shortcut(layout::Command command) {
    DispatchShortcut(*Logic_, command, Focused);
}

void FakeWindow::Escape() {
    DispatchShortcut(*Logic_, layout::Command::Stop, Focused);
}

void FakeWindow::OpenDeviceList() {
    ASSERT_TRUE(Usable(ControlId::cmbDevice));
    Raise(ControlId::cmbDevice, ControlEvent::DropDown);
}

void FakeWindow::Drop(const std::vector<std::string>& files) {
    Logic_->Run([this, &files] { Logic_->FilesDropped(files); });
}

void FakeWindow::Terminate() {
    Logic_->Run(&TwinMain::TerminationRequest);
}

bool FakeWindow::CloseBox() {
    if (!Logic_->FormCloseQuery())
        return false;
    winMain.Closed = true;
    return true;
}

void FakeWindow::AddRange(const std::string& start, const std::string& end, int type) {
    Enter(txtGrpAdrStart, start);
    Enter(txtGrpAdrEnd, end);
    if (!EibDptList.Checked(type))
        ToggleType(type);
    Click(btnAdd);
}

void FakeWindow::RecordFrame() {
    if (!Logic_ || !Logic_->Download().Running())
        return;
    Frames.push_back({labStatus.Value, ProgressBar.Position, ProgressBar.Maximum,
                      DeviceSetupContainer.Enabled() || GroupAddressContainer.Enabled() ||
                          CommandList.Enabled() || ButtonContainer.Enabled(),
                      winMain.WaitCursor, btnStop.Visible(), Focused, Focused && Usable(*Focused)});
    if (OnFirstFrame)
        std::exchange(OnFirstFrame, nullptr)();
    if (OnEachFrame) {
        const Frame frame = Frames.back(); // the handler may paint again
        OnEachFrame(frame);
    }
}

template class Fake<IControl>;
template class Fake<IEditField>;
template class Fake<ICheckBox>;
template class Fake<IRadioGroup>;
template class Fake<IComboBox>;
template class Fake<ICheckList>;
template class Fake<ICommandList>;

FakeMonitor::FakeMonitor(Dialogs& dialogs) {
    Logic = std::make_unique<MonitorWindow>(MonitorControls{this, &lstLines, &txtFilter, &chkPause, &btnClear,
                                                            &btnSaveLog, &btnNames, &labCount, &labStatus},
                                            dialogs);
}

bool FakeMonitor::TickUntilShown(std::size_t count, int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (lstLines.Shown.size() < count && Ticking && std::chrono::steady_clock::now() < end) {
        Logic->Tick();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return lstLines.Shown.size() >= count;
}

} // namespace zelo::test
