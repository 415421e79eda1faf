#include "window/TwinMain.h"
#include "commands/CommandLine.h"
#include "commands/CommandList.h"
#include "model/Address.h"
#include "model/DatapointTypes.h"
#include "model/Error.h"
#include "os/Files.h"
#include "version/VersionInfo.h"
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

// Shows a list's lines, with the device setup taken from its setup line.
void ShowList(const WindowControls& w, CommandListDocument& document, const std::vector<std::string>& lines) {
    document.Show(lines);
    const ParsedLine parsed = ParseCommandLine(lines.empty() ? std::string() : lines.front());
    if (parsed.Kind != LineKind::Setup)
        return;
    w.txtPhyAdr->SetText(PhysicalAddressToText(parsed.PhysicalAddress));
    w.chkPrintSource->SetChecked(parsed.PrintSource);
    w.chkPrintHex->SetChecked(parsed.PrintHex);
    w.chkFullDuplex->SetChecked(parsed.FullDuplex);
}

} // namespace

TwinMain::TwinMain(const WindowControls& controls, Dialogs& dialogs, const std::string& settingsFileName,
                   PortLister listPorts)
    : WindowControls(controls), Converter(std::make_unique<TEibConverter>(nullptr, nullptr)),
      CurrentGroup(std::make_unique<TEibGroup>()), Dialogs_(dialogs), Settings_(settingsFileName),
      Document_(*CommandList, *winMain, Dialogs_, Converter->Groups),
      Link_(*this, *Converter, std::move(listPorts)),
      Download_(*this, *Converter, *labStatus, Dialogs_, [this] { EndForTermination(); }),
      Range_(*this, *CurrentGroup, Document_, Dialogs_), Import_(*this) {
    // The driver's status texts reach the label through the status line, which translates them.
    Converter->StatusLabel = &Download_.Status();
    Converter->ProgressGauge = ProgressBar;
    Converter->SetProgressRange(0, 1);
    Converter->ShowStatus("Ready...", 0);
    // While the link waits for the gateway the window keeps painting and reacting.
    Converter->WaitHook = [this] { winMain->ProcessPendingEvents(); };
    if (Settings_.Kept()) {
        Settings_.Load(*Converter, Document_);
    } else {
        // Never beside the program instead: that folder is the system's.
        std::cerr
            << "No configuration folder (neither XDG_CONFIG_HOME nor HOME is set): the settings are kept "
               "in memory only.\n";
    }

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
            Settings_.Save(*Converter, Document_, winMain->Placement());
    } catch (...) {
        // The window goes all the same; the user learns why the settings were not kept.
        ShowCurrentException(Dialogs_);
    }
    ImportLines.clear();
    ImportFields.clear();
}

void TwinMain::KeyAction(Handler leave, Handler action) {
    if (leave != nullptr) {
        const int refusals = Range_.Refusals();
        Run(leave);
        if (Range_.Refusals() != refusals)
            return;
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

// ---- The command list and its file ----

void TwinMain::txtPhyAdrExit() {
    if (Range_.RestoringFocus())
        return;
    Document_.SetSetupLine(BuildSetupLine(txtPhyAdr->Text(), chkPrintSource->Checked(),
                                          chkPrintHex->Checked(), chkFullDuplex->Checked()));
}

bool TwinMain::OpenList(const std::string& path) {
    const std::optional<std::vector<std::string>> lines = Document_.Read(path);
    if (!lines)
        return false;
    ShowList(*this, Document_, *lines);
    Document_.Opened(path);
    Download_.ClearProgress();
    return true;
}

void TwinMain::btnOpenClick() {
    if (Download_.Running() || !Document_.QuerySaveChanges())
        return;
    if (const std::optional<std::string> path = Dialogs_.OpenFile(CommandListFilter, Document_.LastFolder()))
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

void TwinMain::FilesDropped(const std::vector<std::string>& files) {
    if (Download_.Running() || files.empty())
        return;
    const std::string& path = files.front();
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

void TwinMain::Started(const std::vector<std::string>& files) {
    Settings_.Shown(winMain->Placement());
    const std::string& recovery = Settings_.RecoveryFile();
    if (!recovery.empty() && os::FileExists(recovery)) {
        if (const std::optional<std::vector<std::string>> lines = Document_.Read(recovery)) {
            if (WindowBox(Dialogs_, *winMain,
                          "The command list was not saved when the program was last ended. Restore it?",
                          box::YesNo | box::IconQuestion) == box::IdYes) {
                ShowList(*this, Document_, *lines);
                Document_.SetModified(true);
            }
            // Taken or declined, it has served: a list restored is in the window now, and is kept again if
            // the program is ended once more before it is saved.
            os::RemoveFile(recovery);
        }
    }
    FilesDropped(files);
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
    if (Document_.Modified() && Settings_.Kept()) {
        try {
            os::ReplaceFileContents(Settings_.RecoveryFile(), CommandListFileText(Document_.Lines()));
        } catch (const Exception& error) {
            std::cerr << error.Message() << '\n';
        }
    }
    try {
        Settings_.Save(*Converter, Document_, winMain->Placement());
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

void TwinMain::grpAccessTypeClick() {
    CurrentGroup->AccessType = static_cast<std::uint8_t>(grpAccessType->ItemIndex());
}

bool TwinMain::AddCurrentGroup() {
    const std::optional<int> type = Range_.CheckedType();
    if (type)
        Range_.Add(*type);
    return type.has_value();
}

void TwinMain::btnAddClick() {
    if (AddCurrentGroup())
        ImportNextRange();
}

// ---- Import ----

void TwinMain::btnImportClick() {
    const std::optional<std::string> path = Dialogs_.OpenFile(ImportOpenFilter, Document_.LastFolder());
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
    Download_.Download(Document_.Lines(), [this, &monitorStopped] {
        if (!Monitor_ || !Monitor_->Running())
            return true;
        if (WindowBox(Dialogs_, *winMain, MonitorStopQuestion, box::YesNo | box::IconQuestion) != box::IdYes)
            return false;
        Monitor_->Stop(std::string(Tr("Stopped for the download.")));
        monitorStopped = true;
        return true;
    });
    if (monitorStopped && !Download_.Ended() &&
        WindowBox(Dialogs_, *winMain, MonitorRestartQuestion, box::YesNo | box::IconQuestion) == box::IdYes)
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
