#include "window/TwinMain.h"
#include "commands/CommandLine.h"
#include "commands/CommandList.h"
#include "device/IniFile.h"
#include "model/Address.h"
#include "model/DatapointTypes.h"
#include "model/Error.h"
#include "os/Files.h"
#include "version/VersionInfo.h"
#include "window/DeviceList.h"
#include "window/ScopeExit.h"
#include "window/StandardError.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <new>

namespace zelo {

namespace {

// Sets a flag for the lifetime of the guard.
class FlagGuard {
public:
    explicit FlagGuard(bool& flag) : Flag(flag) { Flag = true; }
    ~FlagGuard() { Flag = false; }
    FlagGuard(const FlagGuard&) = delete;
    FlagGuard& operator=(const FlagGuard&) = delete;

private:
    bool& Flag;
};

// Lines the window writes itself are marked, so the user's edits can be told apart.
class OwnEdit {
public:
    explicit OwnEdit(int& depth) : Depth(depth) { ++Depth; }
    ~OwnEdit() { --Depth; }
    OwnEdit(const OwnEdit&) = delete;
    OwnEdit& operator=(const OwnEdit&) = delete;

private:
    int& Depth;
};

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

std::string CurrentText(const IComboBox& box) {
    const int index = box.ItemIndex();
    return index >= 0 && index < box.ItemCount() ? box.ItemText(index) : std::string();
}

const std::vector<std::string> BaudrateItems = {"9600", "19200", "38400", "57600"};

// At most this many refused lines are listed in the question before a download.
constexpr std::size_t RefusedLinesListed = 20;

// The name part of a path, and its folder (empty for a bare name); both separators count, as either can come
// from a dialog on Windows.
std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

bool StartsWith(const std::string& text, std::string_view prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

std::string Lowered(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool EndsWith(const std::string& text, std::string_view suffix) {
    return text.size() > suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// A command list rather than an ETS export: told by the extension where it says, else by the first line (a
// command). Only the file's beginning is read for that; a file that cannot be read is taken for a list, whose
// opening then says why.
bool IsCommandListFile(const std::string& path) {
    const std::string name = Lowered(BaseName(path));
    if (EndsWith(name, ".txt"))
        return true;
    for (const char* extension : {".csv", ".xml", ".esf", ".knxproj"})
        if (EndsWith(name, extension))
            return false;
    std::ifstream in(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
    if (!in)
        return true;
    std::string start(4096, '\0');
    in.read(start.data(), static_cast<std::streamsize>(start.size()));
    start.resize(static_cast<std::size_t>(in.gcount()));
    const std::vector<std::string> lines = CommandListFromFile(start);
    return !lines.empty() && (StartsWith(lines.front(), "#SETUP=") || StartsWith(lines.front(), "#DG"));
}

// What the status line says after the user stopped a download; linesLoaded as DownloadInterrupted says.
std::string StoppedStatus(int linesLoaded) {
    if (linesLoaded < 0)
        return "Download stopped before the erase: the gateway's configuration is unchanged.";
    if (linesLoaded == 0)
        return "Download stopped after the erase: the gateway holds no configuration.";
    return "Download stopped after line " + std::to_string(linesLoaded) +
           ": the gateway holds a partial configuration.";
}

} // namespace

TwinMain::TwinMain(const WindowControls& controls, Dialogs& dialogs, const std::string& settingsFileName,
                   PortLister listPorts)
    : WindowControls(controls), Dialogs_(dialogs), SettingsFileName_(settingsFileName),
      StatusLabel_(*labStatus), ProgressGauge_(*ProgressBar), ListPorts_(std::move(listPorts)) {
    Converter = std::make_unique<TEibConverter>(&StatusLabel_, &ProgressGauge_);
    // While the link waits for the gateway the window keeps painting and reacting.
    Converter->WaitHook = [this] { winMain->ProcessPendingEvents(); };
    GroupLines_ = std::make_unique<GroupLineIndex>(Converter->Groups);
    if (SettingsFileName_.empty()) {
        // Never beside the program instead: that folder is the system's.
        std::cerr
            << "No configuration folder (neither XDG_CONFIG_HOME nor HOME is set): the settings are kept "
               "in memory only.\n";
    } else {
        Converter->LoadSettings(SettingsFileName_);
        const IniFile ini = IniFile::Load(SettingsFileName_);
        LastFolder_ = StoredFolder_ = ini.ReadString(WindowSettingsSection, "LastFolder", {});
        const layout::Placement placed{ini.ReadInteger(WindowSettingsSection, "Left", 0),
                                       ini.ReadInteger(WindowSettingsSection, "Top", 0),
                                       {ini.ReadInteger(WindowSettingsSection, "Width", 0),
                                        ini.ReadInteger(WindowSettingsSection, "Height", 0)}};
        if (placed.Client.Width > 0 && placed.Client.Height > 0)
            SavedPlacement_ = placed;
    }

    CurrentGroup = std::make_unique<TEibGroup>();
    ImportLines.clear();
    ImportFields.clear();
    ImportIndex = 0;
    Importing = false;

    // The form's first state: nothing to step through yet, reading and writing chosen, no download to stop.
    btnIgnore->SetEnabled(false);
    btnAbort->SetEnabled(false);
    btnAddAll->SetEnabled(false);
    btnStop->SetVisible(false);
    grpAccessType->SetItemIndex(2);

    // Choosing the stored entries is no change by the user: the controls raise no events for it.
    FillDeviceList();
    cmbBaudrate->SetItems(BaudrateItems);
    const auto baudrate =
        std::find(BaudrateItems.begin(), BaudrateItems.end(), std::to_string(Converter->Baudrate()));
    cmbBaudrate->SetItemIndex(
        baudrate == BaudrateItems.end() ? -1 : static_cast<int>(baudrate - BaudrateItems.begin()));
    txtHost->SetText(Converter->Host());
    txtPort->SetText(Converter->Port());
    ShowTcpFields();

    std::vector<std::string> types;
    FillDatapointTypeList(types);
    EibDptList->SetItems(types);
    EibDptList->SetCurrentRow(-1);

    AppendLine({});
    txtPhyAdr->SetText(Converter->GetPhysicalAddress());
    txtGrpAdrEnd->SetText(GroupAddressToText(0));
    txtGrpAdrStart->SetText(GroupAddressToText(0));
    txtPhyAdrExit();

    BaseCaption_ = winMain->Caption() + " V" + VersionText(VersionInfo);
    Modified_ = false;
    UpdateCaption();
    txtPhyAdr->SetFocus();
}

TwinMain::~TwinMain() {
    FormDestroy();
}

void TwinMain::FormDestroy() {
    try {
        if (Converter && !SettingsSaved_)
            SaveSettings();
    } catch (...) {
        // The window goes all the same; the user learns why the settings were not kept.
        ShowCurrentException(Dialogs_);
    }
    ImportLines.clear();
    ImportFields.clear();
    GroupLines_.reset();
    Converter.reset();
    CurrentGroup.reset();
}

void TwinMain::SaveSettings() {
    if (SettingsFileName_.empty())
        return;
    Converter->SaveSettings(SettingsFileName_);
    // The window's own section only once there is something in it: until then the file holds the link's
    // section alone, as it always did. The window's place only once the user has moved or resized it.
    std::optional<layout::Placement> placement = StartPlacement_ ? winMain->Placement() : std::nullopt;
    if (placement && (*placement == *StartPlacement_ || placement == SavedPlacement_))
        placement.reset();
    if (LastFolder_ != StoredFolder_ || placement) {
        IniFile ini = IniFile::Load(SettingsFileName_);
        if (LastFolder_ != StoredFolder_)
            ini.WriteString(WindowSettingsSection, "LastFolder", LastFolder_);
        if (placement) {
            ini.WriteInteger(WindowSettingsSection, "Left", placement->X);
            ini.WriteInteger(WindowSettingsSection, "Top", placement->Y);
            ini.WriteInteger(WindowSettingsSection, "Width", placement->Client.Width);
            ini.WriteInteger(WindowSettingsSection, "Height", placement->Client.Height);
        }
        ini.Save(SettingsFileName_);
        StoredFolder_ = LastFolder_;
        if (placement)
            SavedPlacement_ = placement;
    }
}

void TwinMain::Run(Handler handler) {
    Guarded(Dialogs_, [this, handler] { (this->*handler)(); });
}

void TwinMain::Run(const std::function<void()>& action) {
    Guarded(Dialogs_, action);
}

TwinMain::Handler TwinMain::EventHandler(layout::ControlId id) {
    using enum layout::ControlId;
    switch (id) {
    case txtPhyAdr:
    case chkPrintSource:
    case chkPrintHex:
    case chkFullDuplex:
        return &TwinMain::txtPhyAdrExit;
    case cmbDevice:
        return &TwinMain::cmbDeviceChange;
    case cmbBaudrate:
        return &TwinMain::cmbBaudrateChange;
    case txtHost:
        return &TwinMain::txtHostExit;
    case txtPort:
        return &TwinMain::txtPortExit;
    case txtGrpAdrStart:
        return &TwinMain::txtGrpAdrStartExit;
    case txtGrpAdrEnd:
        return &TwinMain::txtGrpAdrEndExit;
    case grpAccessType:
    case grpAccessType0:
    case grpAccessType1:
    case grpAccessType2:
        return &TwinMain::grpAccessTypeClick;
    case EibDptList:
        return &TwinMain::EibDptListClickCheck;
    case btnAddAll:
        return &TwinMain::btnAddAllClick;
    case btnAdd:
        return &TwinMain::btnAddClick;
    case btnIgnore:
        return &TwinMain::btnIgnoreClick;
    case btnImport:
        return &TwinMain::btnImportClick;
    case btnAbort:
        return &TwinMain::btnAbortClick;
    case btnStop:
        return &TwinMain::btnStopClick;
    case btnMonitor:
        return &TwinMain::btnMonitorClick;
    case btnOpen:
        return &TwinMain::btnOpenClick;
    case btnSave:
        return &TwinMain::btnSaveClick;
    case btnDownload:
        return &TwinMain::btnDownloadClick;
    case btnExit:
        return &TwinMain::btnExitClick;
    default:
        return nullptr;
    }
}

TwinMain::Handler TwinMain::DropDownHandler(layout::ControlId id) {
    return id == layout::ControlId::cmbDevice ? &TwinMain::cmbDeviceDropDown : nullptr;
}

TwinMain::Handler TwinMain::TextClickHandler(layout::ControlId id) {
    return id == layout::ControlId::EibDptList ? &TwinMain::EibDptListClick : nullptr;
}

TwinMain::Handler TwinMain::CommandHandler(layout::Command command) {
    switch (command) {
    case layout::Command::Open:
        return &TwinMain::btnOpenClick;
    case layout::Command::Save:
        return &TwinMain::btnSaveClick;
    case layout::Command::SaveAs:
        return &TwinMain::SaveAsClick;
    case layout::Command::Stop:
        return &TwinMain::btnStopClick;
    }
    return nullptr;
}

void TwinMain::KeyAction(std::optional<layout::ControlId> focused, Handler action) {
    // The device list's text is typed as a field's is.
    if (focused && (layout::Info(*focused).Kind == layout::ControlKind::EditField ||
                    *focused == layout::ControlId::cmbDevice)) {
        if (const Handler leave = EventHandler(*focused)) {
            LeaveRefused_ = false;
            Run(leave);
            if (LeaveRefused_)
                return;
        }
    }
    if (action != nullptr)
        Run(action);
}

bool TwinMain::FormCloseQuery() {
    // Closing now would free the converter under the running download: close once it has ended.
    if (Downloading_) {
        CloseRequested_ = true;
        StatusLabel_.Hold(ClosingStatus);
        return false;
    }
    // Once the window ends by its own decision (Exit after the question, a termination) the close that the
    // end of the message loop brings is no new question.
    return Ending_ || Terminating_ || QuerySaveChanges();
}

int TwinMain::ShowMessage(const std::string& text, int flags, const std::string& detail) {
    return Dialogs_.MessageBox(text, winMain->Caption(), flags, detail);
}

// ---- The command list ----

void TwinMain::ReplaceLine(int lineNumber, const std::string& text) {
    if (lineNumber >= CommandList->LineCount() || CommandList->Line(lineNumber) == text)
        return;
    const OwnEdit own(OwnEdits_);
    CommandList->ReplaceLine(lineNumber, text);
    SetModified(true);
}

void TwinMain::InsertLine(int lineNumber, const std::string& text) {
    const OwnEdit own(OwnEdits_);
    CommandList->InsertLine(lineNumber, text);
    SetModified(true);
}

int TwinMain::NextLineNumber() const {
    // A line end at the very end is no further line: the new line takes that place.
    const int last = CommandList->LineCount() - 1;
    return CommandList->Line(last).empty() ? last : last + 1;
}

int TwinMain::AppendLine(const std::string& text) {
    const int lineNumber = NextLineNumber();
    // Inserted before the empty last line, the new line ends with a line end of its own; after a last line
    // with text, it gets a line end put before it.
    InsertLine(lineNumber, text);
    return lineNumber;
}

void TwinMain::CommandListChange() {
    if (OwnEdits_ == 0) {
        GroupsStale_ = true;
        SetModified(true);
    }
}

std::vector<std::string> TwinMain::CommandLines() const {
    const std::string text = CommandList->Text();
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.emplace_back(text, start, end - start);
    if (start < text.size())
        lines.emplace_back(text, start);
    return lines;
}

void TwinMain::ShowLines(const std::vector<std::string>& lines) {
    // Ended by a line end, so the next Add goes behind the last line.
    std::string text = CommandListFileText(lines);
    {
        const OwnEdit own(OwnEdits_);
        CommandList->SetText(text);
    }
    GroupsStale_ = true;
}

void TwinMain::PointAtLine(int index) {
    if (index < 0 || index >= CommandList->LineCount())
        return;
    CommandList->SelectLine(index);
    // The focus follows once the list can take it (it is disabled while a download runs).
    if (Downloading_)
        LineToShow_ = index;
    else
        CommandList->SetFocus();
}

void TwinMain::SetModified(bool modified) {
    if (Modified_ == modified)
        return;
    Modified_ = modified;
    UpdateCaption();
}

void TwinMain::UpdateCaption() {
    if (BaseCaption_.empty())
        return; // still starting: the caption is set at the end of the start-up
    // Without a file the caption is the program's alone.
    std::string caption = BaseCaption_;
    if (!FileName_.empty())
        caption += " - " + BaseName(FileName_) + (Modified_ ? "*" : "");
    if (winMain->Caption() != caption)
        winMain->SetCaption(caption);
}

void TwinMain::txtPhyAdrExit() {
    if (RestoringFocus_)
        return;
    const std::string setup = BuildSetupLine(txtPhyAdr->Text(), chkPrintSource->Checked(),
                                             chkPrintHex->Checked(), chkFullDuplex->Checked());
    // The setup line is the first line. When the user has deleted it, it comes back in front of the group
    // lines rather than over the first of them.
    const std::string first = CommandList->Line(0);
    if (first.empty() || StartsWith(first, "#SETUP=")) {
        ReplaceLine(0, setup);
    } else {
        InsertLine(0, setup);
        GroupsStale_ = true;
    }
}

int TwinMain::AppendGroupLine() {
    const std::string line = BuildGroupLine(*CurrentGroup);
    // The table follows the list: a full table refuses the line before it is written.
    if (!GroupsStale_)
        GroupLines_->AddLine(NextLineNumber(), line);
    return AppendLine(line);
}

void TwinMain::RefreshGroups() {
    GroupLines_->Clear();
    GroupsStale_ = true;
    int lineNumber = 0;
    for (const std::string& line : CommandLines())
        GroupLines_->AddLine(lineNumber++, line);
    GroupsStale_ = false;
}

// ---- Files ----

std::string TwinMain::RecoveryFileName(const std::string& settingsFileName) {
    const std::string name = BaseName(settingsFileName);
    const std::size_t dot = name.rfind('.');
    const std::string stem = settingsFileName.substr(
        0, settingsFileName.size() - (dot == std::string::npos || dot == 0 ? 0 : name.size() - dot));
    return stem + "-recovered.txt";
}

void TwinMain::RememberFolder(const std::string& path) {
    const std::string folder = FolderOf(path);
    if (!folder.empty())
        LastFolder_ = folder;
}

bool TwinMain::QuerySaveChanges() {
    if (!Modified_)
        return true;
    switch (ShowMessage(SaveChangesQuestion, box::YesNoCancel | box::IconQuestion)) {
    case box::IdYes:
        return SaveList(false);
    case box::IdNo:
        return true;
    default:
        return false;
    }
}

bool TwinMain::SaveList(bool askName) {
    std::string path = FileName_;
    if (askName || path.empty()) {
        const std::optional<std::string> chosen =
            Dialogs_.SaveFile(CommandListFilter, path.empty() ? LastFolder_ : FolderOf(path),
                              path.empty() ? std::string("commands.txt") : BaseName(path));
        if (!chosen)
            return false;
        path = *chosen;
        RememberFolder(path);
    }
    try {
        // As the settings file is saved: a crash or a full disk leaves the old file, never half a list.
        os::ReplaceFileContents(path, CommandListFileText(CommandLines()));
    } catch (const Exception& error) {
        ShowMessage(error.Message(), box::Ok | box::IconError);
        return false;
    }
    FileName_ = path;
    Modified_ = false;
    UpdateCaption();
    return true;
}

bool TwinMain::TakeSetupLine(const std::string& line) {
    const ParsedLine parsed = ParseCommandLine(line);
    if (parsed.Kind != LineKind::Setup)
        return false;
    txtPhyAdr->SetText(PhysicalAddressToText(parsed.PhysicalAddress));
    chkPrintSource->SetChecked(parsed.PrintSource);
    chkPrintHex->SetChecked(parsed.PrintHex);
    chkFullDuplex->SetChecked(parsed.FullDuplex);
    return true;
}

bool TwinMain::OpenList(const std::string& path) {
    std::vector<std::string> lines;
    try {
        lines = CommandListFromFile(os::ReadWholeFile(path, os::CommandListLimit));
        // The list is refused whole: a zero byte would end the gateway's text early, and no control shows
        // one.
        if (const auto zero = FirstLineWithZeroByte(lines))
            throw Exception("Can't read " + path + ": " +
                            FormatMessage(LineWithZeroByteMessage, std::to_string(*zero)));
    } catch (const Exception& error) {
        ShowMessage(error.Message(), box::Ok | box::IconError);
        return false;
    } catch (const std::bad_alloc&) {
        ShowMessage("Out of memory while reading " + path, box::Ok | box::IconError);
        return false;
    }
    ShowLines(lines);
    if (!lines.empty())
        TakeSetupLine(lines.front());
    FileName_ = path;
    Modified_ = false;
    UpdateCaption();
    RememberFolder(path);
    CommandList->ScrollToLine(0);
    ClearProgress();
    return true;
}

void TwinMain::btnOpenClick() {
    if (Downloading_ || !QuerySaveChanges())
        return;
    if (const std::optional<std::string> path = Dialogs_.OpenFile(CommandListFilter, LastFolder_))
        OpenList(*path);
}

void TwinMain::btnSaveClick() {
    if (!Downloading_)
        SaveList(false);
}

void TwinMain::SaveAsClick() {
    if (!Downloading_)
        SaveList(true);
}

void TwinMain::OpenOrImport(const std::string& path) {
    if (IsCommandListFile(path)) {
        if (QuerySaveChanges())
            OpenList(path);
        return;
    }
    // An export is imported as Import does; while one is being walked through, the Import button is off.
    if (!btnImport->Enabled())
        return;
    RememberFolder(path);
    ImportFile(path);
}

void TwinMain::FilesDropped(const std::vector<std::string>& files) {
    if (Downloading_ || files.empty())
        return;
    OpenOrImport(files.front());
}

void TwinMain::Started(const std::vector<std::string>& files) {
    StartPlacement_ = winMain->Placement();
    OfferRecovery();
    if (!files.empty())
        OpenOrImport(files.front());
}

void TwinMain::OfferRecovery() {
    const std::string recovery = RecoveryFileName(SettingsFileName_);
    if (SettingsFileName_.empty() || !os::FileExists(recovery))
        return;
    std::vector<std::string> lines;
    try {
        lines = CommandListFromFile(os::ReadWholeFile(recovery, os::CommandListLimit));
    } catch (const Exception& failure) {
        ShowMessage(failure.Message(), box::Ok | box::IconError);
        return;
    }
    if (ShowMessage("The command list was not saved when the program was last ended. Restore it?",
                    box::YesNo | box::IconQuestion) == box::IdYes) {
        ShowLines(lines);
        if (!lines.empty())
            TakeSetupLine(lines.front());
        SetModified(true);
    }
    // Taken or declined, it has served: a list restored is in the window now, and is kept again if the
    // program is ended once more before it is saved.
    os::RemoveFile(recovery);
}

void TwinMain::TerminationRequest() {
    if (Terminating_)
        return;
    Terminating_ = true;
    // A box waiting for the user (the error of a failed download among them) must not hold the end up.
    Dialogs_.EndQuestions();
    // A download runs to its end first (the gateway must not be left half loaded for this); the end
    // carries the request out.
    if (!Downloading_)
        EndForTermination();
}

void TwinMain::EndForTermination() {
    // Nobody can be asked now: an unsaved list goes to the recovery file, offered at the next start. What
    // fails is said on the standard error stream, the one place left to say it.
    if (Modified_ && !SettingsFileName_.empty()) {
        try {
            os::ReplaceFileContents(RecoveryFileName(SettingsFileName_), CommandListFileText(CommandLines()));
        } catch (const Exception& error) {
            std::cerr << error.Message() << '\n';
        }
    }
    try {
        SaveSettings();
    } catch (const Exception& error) {
        std::cerr << error.Message() << '\n';
    }
    SettingsSaved_ = true;
    Ending_ = true;
    winMain->Terminate();
}

// ---- Range entry ----

void TwinMain::GroupAddressExit(IEditField& field, std::uint16_t& target) {
    // Taking the focus back below makes the field it went to lose it: that field is not being left by the
    // user, and judging it would bounce the focus between two bad fields for ever.
    if (RestoringFocus_)
        return;
    try {
        target = TextToGroupAddress(field.Text());
    } catch (const Exception& error) {
        LeaveRefused_ = true;
        ShowMessage(error.Message(), box::Ok | box::IconError);
        const FlagGuard restoring(RestoringFocus_);
        field.SetFocus();
    }
}

void TwinMain::txtGrpAdrStartExit() {
    GroupAddressExit(*txtGrpAdrStart, CurrentGroup->StartAddress);
}

void TwinMain::txtGrpAdrEndExit() {
    GroupAddressExit(*txtGrpAdrEnd, CurrentGroup->EndAddress);
}

void TwinMain::grpAccessTypeClick() {
    CurrentGroup->AccessType = static_cast<std::uint8_t>(grpAccessType->ItemIndex());
}

void TwinMain::EibDptListClickCheck() {
    // The toggled item is the one the user meant: every other check mark goes.
    const int current = EibDptList->CurrentRow();
    for (int i = 0; i < EibDptList->Count(); ++i) {
        if (i != current && EibDptList->Checked(i))
            EibDptList->SetChecked(i, false);
    }
}

void TwinMain::EibDptListClick() {
    // The view has made the clicked row current; a disabled row takes no mark, as its box would not.
    const int row = EibDptList->CurrentRow();
    if (row < 0 || row >= EibDptList->Count() || !EibDptList->ItemEnabled(row))
        return;
    EibDptList->SetChecked(row, !EibDptList->Checked(row));
    EibDptListClickCheck();
}

bool TwinMain::AddCurrentGroup() {
    int checked = -1;
    for (int i = 0; i < EibDptList->Count() && checked < 0; ++i)
        if (EibDptList->Checked(i))
            checked = i;
    if (checked < 0) {
        ShowMessage("Please select a datapoint type!", box::Ok | box::IconError);
        EibDptList->SetFocus();
        return false;
    }
    CurrentGroup->DatapointType = static_cast<std::int8_t>(checked);

    // The table mirrors the group lines the list holds now, typed ones included, so the search and its
    // question are about what a download would send.
    if (GroupsStale_)
        RefreshGroups();
    const std::vector<int> sameStart = GroupLines_->EntriesWithStart(CurrentGroup->StartAddress);
    for (const int entry : sameStart) {
        TEibGroup& old = Converter->Groups.Items(entry);
        if (EffectiveEnd(old) == EffectiveEnd(*CurrentGroup) &&
            old.DatapointType == CurrentGroup->DatapointType)
            return true;
        const int line = GroupLines_->LineOf(entry);
        int answer = AnswerToAll_;
        if (answer == 0) {
            const std::string question = "Group with same starting address allready exists.\nDo you wish to "
                                         "replace\n\ngroup address: " +
                                         GroupAddressToText(old.StartAddress) + " to " +
                                         GroupAddressToText(old.EndAddress) + ")\n" + "\nwith\n\n" +
                                         "group address: " + GroupAddressToText(CurrentGroup->StartAddress) +
                                         " to " + GroupAddressToText(CurrentGroup->EndAddress) + ")?";
            // The addresses alone do not tell two ranges of another type apart: the lines do.
            const std::string detail = "Line " + std::to_string(line + 1) + ": " + CommandList->Line(line) +
                                       "\nNew: " + BuildGroupLine(*CurrentGroup);
            // Replacing cannot be undone: Return keeps the line.
            answer = ShowMessage(
                question, (AddingAll_ ? box::YesNoToAll : box::YesNo) | box::IconQuestion | box::DefaultNo,
                detail);
            if (answer == box::IdYesToAll || answer == box::IdNoToAll)
                AnswerToAll_ = answer;
        }
        if (answer == box::IdYes || answer == box::IdYesToAll) {
            old.Assign(*CurrentGroup);
            ReplaceLine(line, BuildGroupLine(old));
            if (!AddingAll_)
                CommandList->ScrollToLine(line);
            return true;
        }
    }
    const int line = AppendGroupLine();
    if (!AddingAll_)
        CommandList->ScrollToLine(line);
    return true;
}

void TwinMain::btnAddClick() {
    if (AddCurrentGroup())
        ImportNextRange();
}

// ---- Link and download ----

void TwinMain::FillDeviceList() {
    DeviceEntries_ =
        DeviceListEntries(ListPorts_ ? ListPorts_() : std::vector<os::PortInfo>{}, Converter->Device());
    std::vector<std::string> shown;
    shown.reserve(DeviceEntries_.size());
    int chosen = -1;
    for (const DeviceEntry& entry : DeviceEntries_) {
        if (chosen < 0 && EqualIgnoringCase(entry.Name, Converter->Device()))
            chosen = static_cast<int>(shown.size());
        shown.push_back(entry.Display);
    }
    cmbDevice->SetItems(shown);
    cmbDevice->SetItemIndex(chosen);
    // A name typed by hand that names no entry stays in the field.
    if (chosen < 0)
        cmbDevice->SetText(Converter->Device());
}

void TwinMain::ShowTcpFields() {
    const bool tcp = Converter->TcpDevice();
    for (IControl* control :
         {labHost, static_cast<IControl*>(txtHost), labPort, static_cast<IControl*>(txtPort)})
        if (control->Visible() != tcp)
            control->SetVisible(tcp);
}

void TwinMain::cmbDeviceChange() {
    // An entry's name alone (the description is for the eye); anything else is a name typed by hand, kept as
    // typed but for surrounding blanks: only the open at Download judges it.
    const std::string shown = cmbDevice->Text();
    const std::size_t first = shown.find_first_not_of(" \t");
    const std::string text = first == std::string::npos
                                 ? std::string()
                                 : shown.substr(first, shown.find_last_not_of(" \t") + 1 - first);
    const auto entry = std::find_if(DeviceEntries_.begin(), DeviceEntries_.end(),
                                    [&shown](const DeviceEntry& e) { return e.Display == shown; });
    if (entry == DeviceEntries_.end() && text.empty()) {
        // Nothing typed: the field shows the device again.
        FillDeviceList();
        return;
    }
    Converter->SetDevice(entry != DeviceEntries_.end() ? entry->Name : text);
    ShowTcpFields();
}

void TwinMain::cmbDeviceDropDown() {
    // An adapter plugged in since the list was last filled shows up now.
    if (!Downloading_)
        FillDeviceList();
}

void TwinMain::txtHostExit() {
    Converter->SetHost(txtHost->Text());
}

void TwinMain::txtPortExit() {
    Converter->SetPort(txtPort->Text());
}

void TwinMain::cmbBaudrateChange() {
    const std::string text = CurrentText(*cmbBaudrate);
    int baudrate = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), baudrate);
    Converter->SetBaudrate(
        error == std::errc() && end == text.data() + text.size() && !text.empty() ? baudrate : 19200);
}

void TwinMain::btnExitClick() {
    if (Downloading_ || !QuerySaveChanges())
        return;
    Ending_ = true;
    winMain->Terminate();
}

void TwinMain::EnableAreas(bool enabled) {
    DeviceSetupContainer->SetEnabled(enabled);
    GroupAddressContainer->SetEnabled(enabled);
    CommandList->SetEnabled(enabled);
    ButtonContainer->SetEnabled(enabled);
}

bool TwinMain::ConfirmRefusedLines(const std::vector<std::string>& lines) {
    const std::vector<RefusedLine> refused = CheckCommandList(lines);
    if (refused.empty())
        return true;
    PointAtLine(refused.front().Number - 1);
    std::string text =
        refused.size() == 1 ? std::string("1 line will") : std::to_string(refused.size()) + " lines will";
    text += " be refused by the gateway. Download anyway?\n";
    for (std::size_t i = 0; i < refused.size() && i < RefusedLinesListed; ++i)
        text += "\nline " + std::to_string(refused[i].Number) + ": " + refused[i].Reason;
    if (refused.size() > RefusedLinesListed)
        text += "\n... and " + std::to_string(refused.size() - RefusedLinesListed) + " more";
    // Yes erases the gateway: a reflexive Return must not.
    if (ShowMessage(text, box::YesNo | box::IconWarning | box::DefaultNo) == box::IdYes)
        return true;
    ClearProgress();
    return false;
}

void TwinMain::ClearProgress() {
    Converter->SetProgressRange(0, 1);
    Converter->ShowStatus({}, 0);
}

void TwinMain::btnDownloadClick() {
    // Checked before anything is sent: the gateway is erased first, so a bad line found only by the gateway
    // would cost it its configuration.
    const std::vector<std::string> lines = CommandLines();
    if (!ConfirmRefusedLines(lines))
        return;
    const bool monitorStopped = Monitor_ && Monitor_->Running();
    if (monitorStopped && !StopMonitorForDownload())
        return;
    // Declared before the download's own end, so it asks once that has run.
    const ScopeExit restart([this, monitorStopped] {
        if (monitorStopped)
            OfferMonitorRestart();
    });
    // The focus goes to Stop before the areas are disabled: a key must never meet a focused control inside a
    // disabled area (the dialog keys of Windows search such a window's letters for ever).
    btnStop->SetEnabled(true);
    btnStop->SetVisible(true);
    btnStop->SetFocus();
    EnableAreas(false);
    winMain->SetWaitCursor(true);
    Downloading_ = true;
    StopRequested_ = false;
    LineToShow_ = -1;
    // A failure before the erase must not leave the last run's success on show.
    Converter->SetProgressRange(0, 1);
    Converter->ShowStatus("Ready...", 0);
    // Whatever happens below: the link closed, the cursor and the areas back, a held close carried out.
    const ScopeExit end([this] { EndDownload(); });
    std::string detail;
    try {
        bool opened = false;
        try {
            opened = Converter->Open();
        } catch (const Exception&) {
            detail = Converter->LastOsError();
            throw;
        }
        if (!opened) {
            detail = Converter->LastOsError();
            throw Exception(FormatMessage("Can't open %s!", Converter->Device()));
        }
        detail.clear();
        Converter->Download(lines);
    } catch (const DownloadInterrupted& stopped) {
        // The user's own Stop: the status says how far it got, no box.
        StatusLabel_.SetStatusText(StoppedStatus(stopped.LinesLoaded()));
        StatusLabel_.RepaintNow();
    } catch (const DownloadLineError& error) {
        PointAtLine(error.LineNumber() - 1);
        ShowMessage(error.Message(), box::Ok | box::IconError, detail);
    } catch (const Exception& error) {
        ShowMessage(error.Message(), box::Ok | box::IconError, detail);
    }
}

void TwinMain::btnStopClick() {
    // Ends after the answer the link waits for. The button stays enabled (it holds the focus) until the
    // download has ended; pressing it again changes nothing.
    if (!Downloading_ || StopRequested_)
        return;
    StopRequested_ = true;
    Converter->RequestStop();
}

void TwinMain::EndDownload() {
    Converter->Close();
    winMain->SetWaitCursor(false);
    EnableAreas(true);
    Downloading_ = false;
    StopRequested_ = false;
    StatusLabel_.Release();
    // The focus leaves Stop before it is hidden: to the line to be shown, else back to Download.
    if (LineToShow_ >= 0) {
        CommandList->SetFocus();
        LineToShow_ = -1;
    } else {
        btnDownload->SetFocus();
    }
    btnStop->SetVisible(false);
    if (Terminating_) {
        EndForTermination();
    } else if (CloseRequested_) {
        CloseRequested_ = false;
        winMain->Close();
    }
}

void TwinMain::btnMonitorClick() {
    if (MonitorView)
        Monitor_ = MonitorView();
    // The gateway prints as the list's setup line told it to.
    const ParsedLine setup = ParseCommandLine(CommandList->Line(0));
    const bool hex = setup.Kind == LineKind::Setup ? setup.PrintHex : chkPrintHex->Checked();
    if (Monitor_)
        Monitor_->Open(*Converter, LastImportFile_, hex);
}

bool TwinMain::StopMonitorForDownload() {
    if (ShowMessage(MonitorStopQuestion, box::YesNo | box::IconQuestion) != box::IdYes)
        return false;
    Monitor_->Stop("Stopped for the download.");
    return true;
}

void TwinMain::OfferMonitorRestart() {
    if (Terminating_ || Ending_)
        return;
    if (ShowMessage(MonitorRestartQuestion, box::YesNo | box::IconQuestion) == box::IdYes)
        Monitor_->Start();
}

} // namespace zelo
