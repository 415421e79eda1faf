#pragma once
// The configurator's one window, without a toolkit: start-up, shutdown and every handler, working on the
// controls of Controls.h. A view creates the controls, hands them over, and forwards the user's events to the
// handlers through Run.
#include "device/EibConverter.h"
#include "ets/EtsExport.h"
#include "ets/EtsImport.h"
#include "model/EibGroup.h"
#include "os/Ports.h"
#include "window/Controls.h"
#include "window/DeviceList.h"
#include "window/Dialogs.h"
#include "window/GroupLineIndex.h"
#include "window/Layout.h"
#include "window/MonitorWindow.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zelo {

// The import's open-file dialog: first every kind it reads, then ETS exports, ETS project files, every file.
inline constexpr const char* ImportOpenFilter =
    "ETS files (*.csv *.xml *.esf *.knxproj)|*.csv;*.xml;*.esf;*.knxproj|ETS export (*.csv *.xml "
    "*.esf)|*.csv;*.xml;*.esf|ETS project (*.knxproj)|*.knxproj|All files|*";
// The title of the password prompt of a protected project file.
extern const char* const ProjectPasswordTitle;
// The status text once an import of today's exports has ended (an ETS3 import keeps its own).
extern const char* const ExportImportEndedStatus;
// Add all's question when ranges without a datapoint type lie ahead.
std::string UntypedRangesQuestion(int ranges);

// An import of today's exports: the ranges built from the file (untyped ones kept), offered one by one.
struct ExportSession {
    DetectedExport Detected;
    std::shared_ptr<TextStore> Texts;        // the records' names and datatype texts
    std::vector<GroupAddressRecord> Records; // kept for Add all, which may build again with untyped as other
    RangeBuild Build;
    std::vector<std::string> Warnings; // the reader's and the builder's
    std::string Summary;               // as zeloctl gives it, untyped ranges counted as kept
    std::size_t Next = 0;              // the range the next step offers
};
// Command lists are plain text files, one command per line: what zeloctl check and download take.
inline constexpr const char* CommandListFilter = "Command list (*.txt)|*.txt|All files (*.*)|*.*";
inline constexpr const char* SaveChangesQuestion = "Save changes to the command list?";
// The settings file's section of the window's own (the link's section is the converter's).
inline constexpr const char* WindowSettingsSection = "Configurator";

// The status line a close asked for during a download shows until the download has ended.
inline constexpr const char* ClosingStatus = "Closing when the download has ended...";

// The driver writes its status into the window's label and wants to see it painted at once. A text held
// (a close waiting for the download's end) stays on show meanwhile; the driver's latest returns when
// released.
class StatusLabelLink : public IStatusLabel {
public:
    explicit StatusLabelLink(ILabel& label) : Label_(label) {}
    void SetStatusText(const std::string& text) override {
        Latest_ = text;
        if (Held_.empty())
            Label_.SetText(text);
    }
    void RepaintNow() override { Label_.RepaintNow(); }
    void Hold(const std::string& text) {
        Held_ = text;
        Label_.SetText(text);
        Label_.RepaintNow();
    }
    void Release() {
        if (Held_.empty())
            return;
        Held_.clear();
        Label_.SetText(Latest_);
        Label_.RepaintNow();
    }

private:
    ILabel& Label_;
    std::string Latest_;
    std::string Held_;
};

class ProgressGaugeLink : public IProgressGauge {
public:
    explicit ProgressGaugeLink(IGauge& gauge) : Gauge_(gauge) {}
    void SetMinimum(int value) override { Gauge_.SetMinimum(value); }
    void SetMaximum(int value) override { Gauge_.SetMaximum(value); }
    void SetPosition(int value) override { Gauge_.SetPosition(value); }
    void RepaintNow() override { Gauge_.RepaintNow(); }

private:
    IGauge& Gauge_;
};

// Where the device list's existing ports come from.
using PortLister = std::function<std::vector<os::PortInfo>()>;

class TwinMain : public WindowControls {
public:
    // Runs the start-up: the driver with the settings from settingsFileName (empty: none kept), the controls'
    // first state, the setup line, the version in the caption. An error here ends the start (the window is
    // not created). listPorts gives the serial devices that exist, each time the device list is filled.
    TwinMain(const WindowControls& controls, Dialogs& dialogs, const std::string& settingsFileName,
             PortLister listPorts = os::ListSerialPorts);
    // FormDestroy: writes the settings back and frees what the window owns.
    ~TwinMain();
    TwinMain(const TwinMain&) = delete;
    TwinMain& operator=(const TwinMain&) = delete;

    // Owned objects
    std::unique_ptr<TEibConverter> Converter;
    std::unique_ptr<TEibGroup> CurrentGroup;
    TextLines ImportLines;
    std::vector<std::string> ImportFields;
    std::int32_t ImportIndex = 0;
    bool Importing = false;

    using Handler = void (TwinMain::*)();
    // Runs a handler for the view: an error it lets through goes to the standard error display.
    void Run(Handler handler);
    void Run(const std::function<void()>& action);
    // The handler of the one event a control of the layout raises: leaving an edit field, a click on a button
    // or an option box, a choice in a list or the radio group, a toggle in the check list. Null for none.
    static Handler EventHandler(layout::ControlId id);
    // The handler of a drop-down list about to open (the device list reads the ports again); null for none.
    static Handler DropDownHandler(layout::ControlId id);
    // The handler of a click on the text of a check list's row (not on its box); null for none.
    static Handler TextClickHandler(layout::ControlId id);
    // The handler of a keyboard shortcut.
    static Handler CommandHandler(layout::Command command);
    // A button's action (its Alt letter) or a shortcut, asked for by keyboard while focused holds the focus.
    // As a click on the button does, it leaves the field being typed in first: the field's rule runs, with
    // its message and the focus back when it refuses the text, and then the action runs as the click's does
    // after that leave (none when the field refused: the refusal's box takes a click's press away).
    void KeyAction(std::optional<layout::ControlId> focused, Handler action);

    // After the window first shows: offers the list a termination left in the recovery file, then opens the
    // first of files (the command line's), a list or an ETS export as a drop would.
    void Started(const std::vector<std::string>& files);
    // Files dropped on the window: the first is opened when it is a command list, imported when it is an
    // ETS export.
    void FilesDropped(const std::vector<std::string>& files);

    // Handlers, by event (see EventHandler): focus leaving txtPhyAdr and clicks on the three option boxes;
    // focus leaving the address fields; a check mark toggled by the user in EibDptList (its row is the
    // current row); a choice in grpAccessType, cmbDevice, cmbBaudrate; the buttons.
    void txtPhyAdrExit();
    void txtGrpAdrStartExit();
    void txtGrpAdrEndExit();
    void EibDptListClickCheck();
    void grpAccessTypeClick();
    void cmbDeviceChange();
    void cmbBaudrateChange();
    void btnAddClick();
    void btnAddAllClick();
    void btnIgnoreClick();
    void btnImportClick();
    void btnAbortClick();
    // Imports a file as the Import button does once its dialog has given the path (a file dropped on the
    // window takes this way too). Does nothing while an import runs.
    void ImportFile(const std::string& path);
    void btnDownloadClick();
    void btnExitClick();
    void btnOpenClick();
    // Opens the monitor window (the view's, made at the first click) on the link, with the last import's
    // names.
    void btnMonitorClick();
    // The view's monitor window, made on first use; null where the view has none.
    std::function<MonitorWindow*()> MonitorView;
    // Saves in place when a file is open, else asks for a name (Ctrl+S).
    void btnSaveClick();
    // Asks for a name (Shift+Ctrl+S).
    void SaveAsClick();
    void btnStopClick();
    void txtHostExit();
    void txtPortExit();
    // The device list is about to open: the ports are read again.
    void cmbDeviceDropDown();
    // The text of a datapoint type clicked: its mark toggles as a click on its box toggles it.
    void EibDptListClick();
    // The program is asked to end from outside (SIGTERM, SIGINT, the session's end), where nobody can be
    // asked: held while a download runs, then the unsaved list goes to the recovery file, the settings are
    // written and the message loop ends.
    void TerminationRequest();
    // The user changed the command list's text (the view reports every change; the window's own are ignored).
    void CommandListChange();
    // The close box or IForm::Close: true lets the window close. While a download runs the request is held
    // and carried out once the download has ended.
    bool FormCloseQuery();

    // Deals with the range in CurrentGroup: appends its line, finds it present, or replaces the range of the
    // same start when the user agrees. False when no datapoint type is checked.
    bool AddCurrentGroup();
    // Appends the group line of CurrentGroup as the new last line of the command list; returns its number.
    int AppendGroupLine();
    // The lines of the command list as the download sends them (a line end at the very end adds no line).
    std::vector<std::string> CommandLines() const;
    // The box of a handler: titled with the window's caption.
    int ShowMessage(const std::string& text, int flags, const std::string& detail = {});
    Dialogs& Boxes() { return Dialogs_; }
    bool DownloadRunning() const { return Downloading_; }
    // The command list differs from the file it was opened from or saved to (from its start-up state when
    // no file is open).
    bool Modified() const { return Modified_; }
    // The list's file (UTF-8 path), empty when none is open.
    const std::string& FileName() const { return FileName_; }
    // The folder of the last file opened, saved or imported (UTF-8), where the file dialogs start.
    const std::string& LastFolder() const { return LastFolder_; }
    // Where the window was when it was last ended after the user moved or resized it (the settings file's
    // own section); the view opens it there when it still fits the screen.
    const std::optional<layout::Placement>& SavedPlacement() const { return SavedPlacement_; }
    // Where a termination leaves an unsaved command list: beside the settings file.
    static std::string RecoveryFileName(const std::string& settingsFileName);

    // The ETS3 import: offers the next range of the file or ends the import.
    void ImportNextRange();
    // Sets up EibDptList for a range's datatype text; false when the text offers nothing to accept.
    bool OfferDatapointTypes(const std::string& text);

private:
    void FormDestroy();
    void SaveSettings();
    // The device list's entries, read from the system again; the link's device stays chosen.
    void FillDeviceList();
    // Host and port shown only for the TCP link.
    void ShowTcpFields();
    // Asks "Save changes...?" when the list is modified; true when it may go (saved, or not to be saved).
    bool QuerySaveChanges();
    // Saves the list, asking for a name when askName or when no file is open; false when cancelled or failed.
    bool SaveList(bool askName);
    // Replaces the list with a file's; false (and a box) when it cannot be read.
    bool OpenList(const std::string& path);
    // The list as text, for a control, a file's lines given.
    void ShowLines(const std::vector<std::string>& lines);
    // Sets the device setup controls from a setup line; false when the line is none.
    bool TakeSetupLine(const std::string& line);
    void OpenOrImport(const std::string& path);
    void RememberFolder(const std::string& path);
    void SetModified(bool modified);
    void UpdateCaption();
    void OfferRecovery();
    void EndForTermination();
    // Asks before a download of a list with lines the gateway will refuse; true to go on.
    bool ConfirmRefusedLines(const std::vector<std::string>& lines);
    // Shows a line of the list: selected and scrolled into view, the focus in the list once it is enabled.
    void PointAtLine(int index);
    // Edits of the command list made by the window itself; the user's edits invalidate the table's mirror.
    void ReplaceLine(int lineNumber, const std::string& text);
    void InsertLine(int lineNumber, const std::string& text);
    int AppendLine(const std::string& text);
    // The line number the next appended line gets.
    int NextLineNumber() const;
    void RefreshGroups();
    void GroupAddressExit(IEditField& field, std::uint16_t& target);
    void EnableAreas(bool enabled);
    void EndDownload();
    // The status line empty and the gauge at 0: what they said is about a list no longer shown.
    void ClearProgress();
    // Advances to the next range and shows it; a range offers itself in the controls.
    ImportStep StepImport();
    // The import's start once the file is read: the ETS3 stepper over its lines, or today's formats.
    void StartEts3Import(TextLines lines);
    void StartExportImport(ExportReading reading);
    void StepExport();
    void OfferExportRange(const ImportedRange& range);
    void AddAllExport();
    void AddAllEts3();
    struct AddAllCount {
        int Added = 0;
        int Present = 0; // equal to a range of the list, or replaced one with the user's consent
    };
    // The list scrolled to the last line Add all appended (from AddAllStart_ on), if any.
    void ShowAddAllEnd();
    // Adds the range in CurrentGroup during Add all and counts it; a full table ends the import.
    void AddForAll(AddAllCount& count);
    // Ends an import: the controls back in their free state, the status text given.
    void EndImport(const char* status);
    // The notice at an import's end; detail (the reading's summary and warnings) behind its details button.
    void ShowImportNotice(const std::string& text, const std::string& detail = {});
    // Checks exactly the given row of EibDptList (none for -1), writing only the marks that change.
    void CheckOnly(int row);
    DptListState ReadDptList() const;
    void WriteDptList(const DptListState& state);

    Dialogs& Dialogs_;
    std::string SettingsFileName_;
    StatusLabelLink StatusLabel_;
    ProgressGaugeLink ProgressGauge_;
    std::unique_ptr<GroupLineIndex> GroupLines_;
    bool GroupsStale_ = true;
    int OwnEdits_ = 0;
    bool Downloading_ = false;
    bool StopRequested_ = false;
    bool CloseRequested_ = false;
    bool RestoringFocus_ = false;
    bool LeaveRefused_ = false; // the last field left refused its text
    std::unique_ptr<EtsImporter> Importer_;
    std::unique_ptr<ExportSession> Export_; // set while today's formats are imported
    DatapointOffer Offer_;

    PortLister ListPorts_;
    std::vector<DeviceEntry> DeviceEntries_;
    std::string BaseCaption_;
    std::string FileName_;
    bool Modified_ = false;
    std::string LastFolder_;
    std::string StoredFolder_; // as the settings file holds it
    std::optional<layout::Placement> SavedPlacement_;
    std::optional<layout::Placement> StartPlacement_; // where the window first showed
    bool Terminating_ = false;
    bool Ending_ = false;
    bool SettingsSaved_ = false;
    int LineToShow_ = -1;
    // Add all answers the same-start question with four buttons; "to all" answers the rest of the run.
    bool AddingAll_ = false;
    int AnswerToAll_ = 0;
    int AddAllStart_ = 0; // the line number the run's first new line got
    MonitorWindow* Monitor_ = nullptr;
    std::string LastImportFile_; // the names the monitor shows
    // The monitor holds the link while it runs: a download stops it first, with the user's consent.
    bool StopMonitorForDownload();
    void OfferMonitorRestart();
};

} // namespace zelo
