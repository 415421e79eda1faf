#include "window/TwinMain.h"
#include "commands/CommandLine.h"
#include "commands/CommandList.h"
#include "ets/EtsBatch.h"
#include "model/Address.h"
#include "model/DatapointTypes.h"
#include "model/Error.h"
#include "os/Files.h"
#include "version/VersionInfo.h"
#include "window/ScopeExit.h"
#include "window/StandardError.h"

#include <algorithm>
#include <cctype>
#include <iostream>

namespace zelo {

namespace {

std::string Lowered(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A command list rather than an ETS export: told by the extension where it says, else by the first line (a
// command). A file that cannot be read is taken for a list, whose opening then says why.
bool IsCommandListFile(const std::string& path) {
    const std::string name = Lowered(BaseName(path));
    const auto hasExtension = [&name](std::string_view extension) {
        return name.size() > extension.size() && name.ends_with(extension);
    };
    if (hasExtension(".txt"))
        return true;
    for (const char* extension : {".csv", ".xml", ".esf", ".knxproj"})
        if (hasExtension(extension))
            return false;
    std::string start;
    try {
        // Its first line decides; the import or the open reads it whole afterwards.
        start = os::ReadFileStart(path, 4096);
    } catch (const Exception&) {
        return true;
    }
    const std::vector<std::string> lines = CommandListFromFile(start);
    return !lines.empty() && (lines.front().starts_with("#SETUP=") || lines.front().starts_with("#DG"));
}

} // namespace

TwinMain::TwinMain(const WindowControls& controls, Dialogs& dialogs, const std::string& settingsFileName,
                   PortLister listPorts)
    : WindowControls(controls), Converter(std::make_unique<TEibConverter>(nullptr, nullptr)),
      Dialogs_(dialogs), Settings_(settingsFileName), ProgressGauge_(*ProgressBar),
      Document_(*CommandList, *winMain, Dialogs_, Converter->Groups),
      Link_(*this, *Converter, std::move(listPorts)),
      Download_(*this, *Converter, *labStatus, Dialogs_, [this] { EndForTermination(); }), Import_(*this) {
    Converter->StatusLabel = &Download_.Status();
    Converter->ProgressGauge = &ProgressGauge_;
    Converter->SetProgressRange(0, 1);
    Converter->ShowStatus("Ready...", 0);
    // While the link waits for the gateway the window keeps painting and reacting.
    Converter->WaitHook = [this] { winMain->ProcessPendingEvents(); };
    if (Settings_.FileName().empty()) {
        // Never beside the program instead: that folder is the system's.
        std::cerr
            << "No configuration folder (neither XDG_CONFIG_HOME nor HOME is set): the settings are kept "
               "in memory only.\n";
    } else {
        const IniFile& ini = Settings_.Values();
        Converter->LoadSettings(ini);
        Document_.LoadFolder(ini);
        const layout::Placement placed{ini.ReadInteger(WindowSettingsSection, "Left", 0),
                                       ini.ReadInteger(WindowSettingsSection, "Top", 0),
                                       {ini.ReadInteger(WindowSettingsSection, "Width", 0),
                                        ini.ReadInteger(WindowSettingsSection, "Height", 0)}};
        if (placed.Client.Width > 0 && placed.Client.Height > 0)
            SavedPlacement_ = placed;
    }

    CurrentGroup = std::make_unique<TEibGroup>();

    // The form's first state: nothing to step through yet, reading and writing chosen, no download to stop.
    btnIgnore->SetEnabled(false);
    btnAbort->SetEnabled(false);
    btnAddAll->SetEnabled(false);
    btnStop->SetVisible(false);
    grpAccessType->SetItemIndex(2);
    Link_.Show();

    std::vector<std::string> types;
    FillDatapointTypeList(types);
    for (std::string& type : types)
        type = TrDatapointRow(type);
    EibDptList->SetItems(types);
    EibDptList->SetCurrentRow(-1);

    Document_.AppendLine({});
    txtPhyAdr->SetText(Converter->GetPhysicalAddress());
    txtGrpAdrEnd->SetText(GroupAddressToText(0));
    txtGrpAdrStart->SetText(GroupAddressToText(0));
    txtPhyAdrExit();

    Document_.SetBaseCaption(winMain->Caption() + " V" + VersionText(VersionInfo));
    txtPhyAdr->SetFocus();
}

TwinMain::~TwinMain() {
    FormDestroy();
}

void TwinMain::FormDestroy() {
    try {
        if (Converter && Download_.State() != Phase::Terminated)
            SaveSettings();
    } catch (...) {
        // The window goes all the same; the user learns why the settings were not kept.
        ShowCurrentException(Dialogs_);
    }
    ImportLines.clear();
    ImportFields.clear();
}

void TwinMain::SaveSettings() {
    if (Settings_.FileName().empty())
        return;
    IniFile& ini = Settings_.Values();
    Converter->SaveSettings(ini);
    // The window's own section only once there is something in it: until then the file holds the link's
    // section alone, as it always did. The window's place only once the user has moved or resized it.
    Document_.StoreFolder(ini);
    std::optional<layout::Placement> placement = StartPlacement_ ? winMain->Placement() : std::nullopt;
    if (placement && *placement != *StartPlacement_ && placement != SavedPlacement_) {
        ini.WriteInteger(WindowSettingsSection, "Left", placement->X);
        ini.WriteInteger(WindowSettingsSection, "Top", placement->Y);
        ini.WriteInteger(WindowSettingsSection, "Width", placement->Client.Width);
        ini.WriteInteger(WindowSettingsSection, "Height", placement->Client.Height);
        SavedPlacement_ = placement;
    }
    Settings_.Save();
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
    if (Download_.HoldClose())
        return false;
    // Once the window ends by its own decision (Exit after the question, a termination) the close that the
    // end of the message loop brings is no new question.
    return Download_.Ended() || Document_.QuerySaveChanges();
}

int TwinMain::ShowMessage(const std::string& text, int flags, const std::string& detail) {
    return Dialogs_.MessageBox(text, winMain->Caption(), flags, detail);
}

// ---- The command list and its file ----

void TwinMain::txtPhyAdrExit() {
    if (RestoringFocus_)
        return;
    Document_.SetSetupLine(BuildSetupLine(txtPhyAdr->Text(), chkPrintSource->Checked(),
                                          chkPrintHex->Checked(), chkFullDuplex->Checked()));
}

std::string TwinMain::RecoveryFileName(const std::string& settingsFileName) {
    const std::string name = BaseName(settingsFileName);
    const std::size_t dot = name.rfind('.');
    const std::string stem = settingsFileName.substr(
        0, settingsFileName.size() - (dot == std::string::npos || dot == 0 ? 0 : name.size() - dot));
    return stem + "-recovered.txt";
}

void TwinMain::TakeSetupLine(const std::string& line) {
    const ParsedLine parsed = ParseCommandLine(line);
    if (parsed.Kind != LineKind::Setup)
        return;
    txtPhyAdr->SetText(PhysicalAddressToText(parsed.PhysicalAddress));
    chkPrintSource->SetChecked(parsed.PrintSource);
    chkPrintHex->SetChecked(parsed.PrintHex);
    chkFullDuplex->SetChecked(parsed.FullDuplex);
}

bool TwinMain::OpenList(const std::string& path) {
    const std::optional<std::vector<std::string>> lines = Document_.Read(path);
    if (!lines)
        return false;
    Document_.Show(*lines);
    if (!lines->empty())
        TakeSetupLine(lines->front());
    Document_.Opened(path);
    Download_.ClearProgress();
    return true;
}

void TwinMain::btnOpenClick() {
    if (Download_.Running() || !Document_.QuerySaveChanges())
        return;
    if (const std::optional<std::string> path = Dialogs_.OpenFile(CommandListFilter, LastFolder()))
        OpenList(*path);
}

void TwinMain::btnSaveClick() {
    if (!Download_.Running())
        Document_.Save(false);
}

void TwinMain::SaveAsClick() {
    if (!Download_.Running())
        Document_.Save(true);
}

void TwinMain::OpenOrImport(const std::string& path) {
    if (IsCommandListFile(path)) {
        if (Document_.QuerySaveChanges())
            OpenList(path);
        return;
    }
    // An export is imported as Import does; while one is being walked through, the Import button is off.
    if (!btnImport->Enabled())
        return;
    Document_.RememberFolder(path);
    Import_.ImportFile(path);
}

void TwinMain::FilesDropped(const std::vector<std::string>& files) {
    if (Download_.Running() || files.empty())
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
    const std::string recovery = RecoveryFileName(Settings_.FileName());
    if (Settings_.FileName().empty() || !os::FileExists(recovery))
        return;
    const std::optional<std::vector<std::string>> lines = Document_.Read(recovery);
    if (!lines)
        return;
    if (ShowMessage("The command list was not saved when the program was last ended. Restore it?",
                    box::YesNo | box::IconQuestion) == box::IdYes) {
        Document_.Show(*lines);
        if (!lines->empty())
            TakeSetupLine(lines->front());
        Document_.SetModified(true);
    }
    // Taken or declined, it has served: a list restored is in the window now, and is kept again if the
    // program is ended once more before it is saved.
    os::RemoveFile(recovery);
}

void TwinMain::TerminationRequest() {
    if (!Download_.RequestTermination())
        return;
    // A box waiting for the user (the error of a failed download among them) must not hold the end up.
    Dialogs_.EndQuestions();
    if (!Download_.Running())
        EndForTermination();
}

void TwinMain::EndForTermination() {
    // Nobody can be asked now: an unsaved list goes to the recovery file, offered at the next start. What
    // fails is said on the standard error stream, the one place left to say it.
    if (Document_.Modified() && !Settings_.FileName().empty()) {
        try {
            os::ReplaceFileContents(RecoveryFileName(Settings_.FileName()),
                                    CommandListFileText(CommandLines()));
        } catch (const Exception& error) {
            std::cerr << error.Message() << '\n';
        }
    }
    try {
        SaveSettings();
    } catch (const Exception& error) {
        std::cerr << error.Message() << '\n';
    }
    Download_.Finish(Phase::Terminated);
    winMain->Terminate();
}

void TwinMain::btnExitClick() {
    if (Download_.Running() || !Document_.QuerySaveChanges())
        return;
    Download_.Finish(Phase::Ending);
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
        RestoringFocus_ = true;
        const ScopeExit restored([this] { RestoringFocus_ = false; });
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
    AddRange(checked);
    return true;
}

void TwinMain::AddRange(int type) {
    CurrentGroup->DatapointType = static_cast<std::int8_t>(type);
    const bool addingAll = AnswerToAll_.has_value();
    GroupLineIndex& groups = Document_.Groups();
    for (const int entry : groups.EntriesWithStart(CurrentGroup->StartAddress)) {
        const TEibGroup& old = groups.Group(entry);
        if (SameRange(old, *CurrentGroup))
            return;
        const int line = groups.LineOf(entry);
        int answer = AnswerToAll_.value_or(0);
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
                question, (addingAll ? box::YesNoToAll : box::YesNo) | box::IconQuestion | box::DefaultNo,
                detail);
            if (answer == box::IdYesToAll || answer == box::IdNoToAll)
                AnswerToAll_ = answer;
        }
        if (answer == box::IdYes || answer == box::IdYesToAll) {
            Document_.ReplaceGroupLine(entry, *CurrentGroup);
            if (!addingAll)
                CommandList->ScrollToLine(line);
            return;
        }
    }
    const int line = Document_.AppendGroupLine(*CurrentGroup);
    if (!addingAll)
        CommandList->ScrollToLine(line);
}

void TwinMain::btnAddClick() {
    if (AddCurrentGroup())
        ImportNextRange();
}

// ---- Import ----

void TwinMain::btnImportClick() {
    const std::optional<std::string> path = Dialogs_.OpenFile(ImportOpenFilter, LastFolder());
    if (!path)
        return;
    Document_.RememberFolder(*path);
    Import_.ImportFile(*path);
}

// ---- Link and download ----

void TwinMain::cmbDeviceDropDown() {
    // An adapter plugged in since the list was last filled shows up now.
    if (!Download_.Running())
        Link_.FillDeviceList();
}

void TwinMain::btnDownloadClick() {
    // The monitor holds the link while it runs: asked to step aside once the list has passed its checks, and
    // offered again when the download has ended.
    bool monitorStopped = false;
    Download_.Download(CommandLines(), [this, &monitorStopped] {
        if (!Monitor_ || !Monitor_->Running())
            return true;
        if (ShowMessage(MonitorStopQuestion, box::YesNo | box::IconQuestion) != box::IdYes)
            return false;
        Monitor_->Stop(std::string(Tr("Stopped for the download.")));
        monitorStopped = true;
        return true;
    });
    if (monitorStopped && !Download_.Ended() &&
        ShowMessage(MonitorRestartQuestion, box::YesNo | box::IconQuestion) == box::IdYes)
        Monitor_->Start();
}

void TwinMain::btnMonitorClick() {
    if (MonitorView)
        Monitor_ = MonitorView();
    // The gateway prints as the list's setup line told it to.
    const ParsedLine setup = ParseCommandLine(CommandList->Line(0));
    const bool hex = setup.Kind == LineKind::Setup ? setup.PrintHex : chkPrintHex->Checked();
    if (Monitor_)
        Monitor_->Open(*Converter, Import_.LastFile(), hex);
}

} // namespace zelo
