#include "window/TwinMain.h"
#include "commands/CommandLine.h"
#include "model/Address.h"
#include "model/DatapointTypes.h"
#include "model/Error.h"
#include "version/VersionInfo.h"
#include "window/DeviceList.h"
#include "window/ScopeExit.h"
#include "window/StandardError.h"

#include <algorithm>
#include <cctype>
#include <charconv>

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

} // namespace

TwinMain::TwinMain(const WindowControls& controls, Dialogs& dialogs, const std::string& settingsFileName)
    : WindowControls(controls), Dialogs_(dialogs), SettingsFileName_(settingsFileName),
      StatusLabel_(*labStatus), ProgressGauge_(*ProgressBar) {
    Converter = std::make_unique<TEibConverter>(&StatusLabel_, &ProgressGauge_);
    // While the link waits for the gateway the window keeps painting and reacting.
    Converter->WaitHook = [this] { winMain->ProcessPendingEvents(); };
    GroupLines_ = std::make_unique<GroupLineIndex>(Converter->Groups);
    Converter->LoadSettings(SettingsFileName_);

    CurrentGroup = std::make_unique<TEibGroup>();
    ImportLines.clear();
    ImportFields.clear();
    ImportIndex = 0;
    Importing = false;

    // The form's first state: nothing to step through yet, reading and writing chosen.
    btnIgnore->SetEnabled(false);
    btnAbort->SetEnabled(false);
    btnAddAll->SetEnabled(false);
    grpAccessType->SetItemIndex(2);

    // Choosing the stored entries is no change by the user: the controls raise no events for it.
    cmbDevice->SetItems(DeviceListEntries(os::ListSerialPorts(), Converter->Device()));
    int deviceIndex = -1;
    for (int i = 0; i < cmbDevice->ItemCount() && deviceIndex < 0; ++i)
        if (EqualIgnoringCase(cmbDevice->ItemText(i), Converter->Device()))
            deviceIndex = i;
    cmbDevice->SetItemIndex(deviceIndex);
    cmbBaudrate->SetItems(BaudrateItems);
    const auto baudrate =
        std::find(BaudrateItems.begin(), BaudrateItems.end(), std::to_string(Converter->Baudrate()));
    cmbBaudrate->SetItemIndex(
        baudrate == BaudrateItems.end() ? -1 : static_cast<int>(baudrate - BaudrateItems.begin()));

    std::vector<std::string> types;
    FillDatapointTypeList(types);
    EibDptList->SetItems(types);
    EibDptList->SetCurrentRow(-1);

    AppendLine({});
    txtPhyAdr->SetText(Converter->GetPhysicalAddress());
    txtGrpAdrEnd->SetText(GroupAddressToText(0));
    txtGrpAdrStart->SetText(GroupAddressToText(0));
    txtPhyAdrExit();

    winMain->SetCaption(winMain->Caption() + " V" + VersionText(VersionInfo));
    txtPhyAdr->SetFocus();
}

TwinMain::~TwinMain() {
    FormDestroy();
}

void TwinMain::FormDestroy() {
    try {
        if (Converter)
            Converter->SaveSettings(SettingsFileName_);
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

void TwinMain::Run(Handler handler) {
    Guarded(Dialogs_, [this, handler] { (this->*handler)(); });
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
    case btnDownload:
        return &TwinMain::btnDownloadClick;
    case btnExit:
        return &TwinMain::btnExitClick;
    default:
        return nullptr;
    }
}

bool TwinMain::FormCloseQuery() {
    // Closing now would free the converter under the running download: close once it has ended.
    if (Downloading_) {
        CloseRequested_ = true;
        return false;
    }
    return true;
}

int TwinMain::ShowMessage(const std::string& text, int flags, const std::string& detail) {
    return Dialogs_.MessageBox(text, winMain->Caption(), flags, detail);
}

// ---- The command list ----

void TwinMain::ReplaceLine(int lineNumber, const std::string& text) {
    const OwnEdit own(OwnEdits_);
    if (lineNumber < CommandList->LineCount())
        CommandList->ReplaceLine(lineNumber, text);
}

int TwinMain::NextLineNumber() const {
    // A line end at the very end is no further line: the new line takes that place.
    const int last = CommandList->LineCount() - 1;
    return CommandList->Line(last).empty() ? last : last + 1;
}

int TwinMain::AppendLine(const std::string& text) {
    const OwnEdit own(OwnEdits_);
    const int lineNumber = NextLineNumber();
    // Inserted before the empty last line, the new line ends with a line end of its own; after a last line
    // with text, it gets a line end put before it.
    CommandList->InsertLine(lineNumber, text);
    return lineNumber;
}

void TwinMain::CommandListChange() {
    if (OwnEdits_ == 0)
        GroupsStale_ = true;
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

void TwinMain::txtPhyAdrExit() {
    if (RestoringFocus_)
        return;
    // The first line is the setup line, whatever it holds now; a group line there gives up its entry.
    if (GroupLines_ && GroupLines_->FirstLine() == 0)
        GroupsStale_ = true;
    ReplaceLine(0, BuildSetupLine(txtPhyAdr->Text(), chkPrintSource->Checked(), chkPrintHex->Checked(),
                                  chkFullDuplex->Checked()));
}

void TwinMain::AppendGroupLine() {
    const std::string line = BuildGroupLine(*CurrentGroup);
    // The table follows the list: a full table refuses the line before it is written.
    if (!GroupsStale_)
        GroupLines_->AddLine(NextLineNumber(), line);
    AppendLine(line);
}

void TwinMain::RefreshGroups() {
    GroupLines_->Clear();
    GroupsStale_ = true;
    int lineNumber = 0;
    for (const std::string& line : CommandLines())
        GroupLines_->AddLine(lineNumber++, line);
    GroupsStale_ = false;
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
        const std::string question =
            "Group with same starting address allready exists.\nDo you wish to replace\n\ngroup address: " +
            GroupAddressToText(old.StartAddress) + " to " + GroupAddressToText(old.EndAddress) + ")\n" +
            "\nwith\n\n" + "group address: " + GroupAddressToText(CurrentGroup->StartAddress) + " to " +
            GroupAddressToText(CurrentGroup->EndAddress) + ")?";
        if (ShowMessage(question, box::YesNo | box::IconQuestion) == box::IdYes) {
            old.Assign(*CurrentGroup);
            ReplaceLine(GroupLines_->LineOf(entry), BuildGroupLine(old));
            return true;
        }
    }
    AppendGroupLine();
    return true;
}

void TwinMain::btnAddClick() {
    if (AddCurrentGroup())
        ImportNextRange();
}

// ---- Link and download ----

void TwinMain::cmbDeviceChange() {
    Converter->SetDevice(CurrentText(*cmbDevice));
}

void TwinMain::cmbBaudrateChange() {
    const std::string text = CurrentText(*cmbBaudrate);
    int baudrate = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), baudrate);
    Converter->SetBaudrate(
        error == std::errc() && end == text.data() + text.size() && !text.empty() ? baudrate : 19200);
}

void TwinMain::btnExitClick() {
    winMain->Terminate();
}

void TwinMain::EnableAreas(bool enabled) {
    DeviceSetupContainer->SetEnabled(enabled);
    GroupAddressContainer->SetEnabled(enabled);
    CommandList->SetEnabled(enabled);
    ButtonContainer->SetEnabled(enabled);
}

void TwinMain::btnDownloadClick() {
    EnableAreas(false);
    winMain->SetWaitCursor(true);
    Downloading_ = true;
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
        Converter->Download(CommandLines());
    } catch (const Exception& error) {
        ShowMessage(error.Message(), box::Ok | box::IconError, detail);
    }
}

void TwinMain::EndDownload() {
    Converter->Close();
    winMain->SetWaitCursor(false);
    EnableAreas(true);
    Downloading_ = false;
    if (CloseRequested_) {
        CloseRequested_ = false;
        winMain->Close();
    }
}

} // namespace zelo
