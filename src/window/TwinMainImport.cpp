// The window's import of ETS files: an ETS3 export walked range by range as it always was, and today's
// exports read whole, their ranges built at once and then offered one by one in the controls of the range
// entry.
#include "model/Address.h"
#include "model/Error.h"
#include "os/Files.h"
#include "project/ProjectImport.h"
#include "window/ScopeExit.h"
#include "window/StandardError.h"
#include "window/TwinMain.h"

#include <new>

namespace zelo {

const char* const ExportImportEndedStatus = "Finished importing data from ETS!";
const char* const ProjectPasswordTitle = "Project password";

std::string UntypedRangesQuestion(int ranges) {
    return std::to_string(ranges) + (ranges == 1 ? " range has" : " ranges have") +
           " no datapoint type. Add " + (ranges == 1 ? "it" : "them") +
           " as \"other\" (GENERIC)?\n\nNo leaves " + (ranges == 1 ? "it" : "them") + " out.";
}

namespace {

// Warnings shown in a notice's details; the rest are counted.
constexpr std::size_t ShownWarnings = 20;

std::string Counted(int count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// The counts an Add all ends with.
std::string AddAllCounts(int added, int skipped, int present) {
    return Counted(added, "range", "ranges") + " added, " + Counted(skipped, "range", "ranges") + " skipped" +
           (present > 0 ? ", " + Counted(present, "range", "ranges") + " already in the list or replaced."
                        : ".");
}

// The reading's summary and its first warnings, for the details of the notice at the end.
std::string SessionDetail(const ExportSession& session) {
    std::string text = session.Summary;
    for (std::size_t i = 0; i < session.Warnings.size() && i < ShownWarnings; ++i)
        text += "\n" + session.Warnings[i];
    if (session.Warnings.size() > ShownWarnings)
        text += "\nand " + std::to_string(session.Warnings.size() - ShownWarnings) + " more.";
    return text;
}

// The ranges of a build from an address on: those that end before it are left out, one that holds it starts
// there.
std::vector<ImportedRange> RangesFrom(std::vector<ImportedRange> ranges, int from) {
    std::vector<ImportedRange> out;
    for (auto& range : ranges) {
        if (range.EndAddress < from)
            continue;
        if (range.StartAddress < from)
            range.StartAddress = static_cast<std::uint16_t>(from);
        out.push_back(std::move(range));
    }
    return out;
}

} // namespace

DptListState TwinMain::ReadDptList() const {
    DptListState state;
    for (int i = 0; i < DatapointTypeCount; ++i) {
        state.Enabled[i] = EibDptList->ItemEnabled(i);
        state.Checked[i] = EibDptList->Checked(i);
    }
    state.Current = EibDptList->CurrentRow();
    return state;
}

void TwinMain::WriteDptList(const DptListState& state) {
    for (int i = 0; i < DatapointTypeCount; ++i) {
        if (EibDptList->ItemEnabled(i) != state.Enabled[i])
            EibDptList->SetItemEnabled(i, state.Enabled[i]);
        if (EibDptList->Checked(i) != state.Checked[i])
            EibDptList->SetChecked(i, state.Checked[i]);
    }
    if (EibDptList->CurrentRow() != state.Current)
        EibDptList->SetCurrentRow(state.Current);
}

void TwinMain::CheckOnly(int row) {
    for (int i = 0; i < DatapointTypeCount; ++i)
        if (EibDptList->Checked(i) != (i == row))
            EibDptList->SetChecked(i, i == row);
}

bool TwinMain::OfferDatapointTypes(const std::string& text) {
    DptListState state = ReadDptList();
    Offer_ = zelo::OfferDatapointTypes(text, state);
    WriteDptList(state);
    return Offer_.Recognised;
}

void TwinMain::ShowImportNotice(const std::string& text, const std::string& detail) {
    Dialogs_.MessageBox(text, ImportNoticeTitle, box::Ok | box::IconInformation, detail);
}

void TwinMain::btnImportClick() {
    const std::optional<std::string> path = Dialogs_.OpenFile(ImportOpenFilter, LastFolder());
    if (!path)
        return;
    RememberFolder(*path);
    ImportFile(*path);
}

void TwinMain::ImportFile(const std::string& path) {
    if (Importing)
        return;
    std::string bytes;
    try {
        bytes = os::ReadWholeFile(path, os::ImportLimit);
    } catch (const Exception& error) {
        // The window stays idle; nothing of the file is taken.
        ShowStandardError(Dialogs_, error.Message());
        return;
    }
    LastImportFile_ = path;
    const std::string name = path.substr(path.find_last_of("/\\") + 1);
    std::optional<std::string> password;
    ExportReading reading;
    for (;;) {
        {
            // Reading and building take well under a second for the largest files: the wait cursor says it.
            winMain->SetWaitCursor(true);
            const ScopeExit normal([this] { winMain->SetWaitCursor(false); });
            // Only a project file can ask for another try with a password: an export gives its bytes away.
            try {
                reading = IsZipArchive(bytes) ? ReadImportFile(path, bytes, password)
                                              : ReadImportFile(path, std::move(bytes), password);
            } catch (const std::bad_alloc&) {
                // A file too big for the memory there is: refused like a file that does not read.
                reading.Refusal = ImportRefusal{"Out of memory while reading " + path, 0, ""};
            }
        }
        if (!reading.Refusal || reading.Refusal->Kind == RefusalKind::File)
            break;
        // A protected project: asked for its password, and again after a wrong one. Cancel changes nothing.
        password = Dialogs_.AskPassword(reading.Refusal->Message + "\nEnter the password of " + name + ":",
                                        ProjectPasswordTitle);
        if (!password)
            return;
    }
    if (reading.Refusal) {
        Dialogs_.MessageBox(reading.Refusal->WindowText(), ImportNoticeTitle, box::Ok | box::IconError);
        return;
    }
    if (reading.Detected.Format == ExportFormat::Ets3)
        StartEts3Import(std::move(reading.Ets3Lines));
    else
        StartExportImport(std::move(reading));
}

void TwinMain::StartEts3Import(TextLines lines) {
    ImportLines = std::move(lines);
    Importer_ = std::make_unique<EtsImporter>(ImportLines);
    ProgressBar->SetMinimum(0);
    ProgressBar->SetMaximum(static_cast<int>(ImportLines.size()));
    ProgressBar->SetPosition(0);
    ImportFields.clear();
    ImportIndex = 0;
    btnImport->SetEnabled(false);
    btnIgnore->SetEnabled(true);
    btnAbort->SetEnabled(true);
    Importing = true;
    ImportNextRange();
}

void TwinMain::StartExportImport(ExportReading reading) {
    // No leaves everything as it was.
    if (!reading.BadEntries.empty() &&
        Dialogs_.MessageBox(SkipBadQuestion(reading.BadEntries), ImportNoticeTitle,
                            box::YesNo | box::IconQuestion) != box::IdYes)
        return;
    auto session = std::make_unique<ExportSession>();
    session->Texts = reading.Texts;
    session->Records = reading.Addresses;
    // The access type is the window's at each Add; untyped ranges are offered with nothing checked.
    RangeOptions options;
    options.Untyped = UntypedPolicy::Keep;
    ExportImport result = ImportReading(std::move(reading), options, true);
    if (result.Refusal) {
        Dialogs_.MessageBox(result.Refusal->WindowText(), ImportNoticeTitle, box::Ok | box::IconError);
        return;
    }
    session->Detected = result.Reading.Detected;
    session->Build = std::move(result.Build);
    session->Warnings = std::move(result.Warnings);
    session->Summary = std::move(result.Summary);
    Export_ = std::move(session);

    ProgressBar->SetMinimum(0);
    ProgressBar->SetMaximum(static_cast<int>(Export_->Build.Ranges.size()));
    ProgressBar->SetPosition(0);
    btnImport->SetEnabled(false);
    btnIgnore->SetEnabled(true);
    btnAbort->SetEnabled(true);
    Importing = true;
    ImportNextRange();
}

ImportStep TwinMain::StepImport() {
    ProgressBar->SetPosition(ImportIndex);
    ImportStep step = Importer_->Next();
    ImportIndex = Importer_->ImportIndex();
    ImportFields.assign(Importer_->ImportFields().begin(), Importer_->ImportFields().end());
    if (step.Kind == ImportStepKind::BadAddress) {
        // The line is passed over; until a range is offered again there is nothing to accept.
        labStatus->SetText(step.Range.StatusText);
        btnAdd->SetEnabled(false);
        btnAddAll->SetEnabled(false);
    } else if (step.Kind == ImportStepKind::Range) {
        const ImportRange& range = step.Range;
        labStatus->SetText(range.StatusText);
        CurrentGroup->StartAddress = range.StartAddress;
        CurrentGroup->EndAddress = range.EndAddress;
        txtGrpAdrStart->SetText(GroupAddressToText(CurrentGroup->StartAddress));
        txtGrpAdrEnd->SetText(GroupAddressToText(CurrentGroup->EndAddress));
        btnAdd->SetEnabled(OfferDatapointTypes(range.Datatype));
        btnAddAll->SetEnabled(true);
    }
    return step;
}

void TwinMain::StepExport() {
    ExportSession& session = *Export_;
    ProgressBar->SetPosition(static_cast<int>(session.Next));
    if (session.Next >= session.Build.Ranges.size()) {
        const std::string detail = SessionDetail(session);
        EndImport(ExportImportEndedStatus);
        ShowImportNotice(ExportImportFinishedMessage, detail);
        return;
    }
    OfferExportRange(session.Build.Ranges[session.Next++]);
}

void TwinMain::OfferExportRange(const ImportedRange& range) {
    labStatus->SetText(ExportStatusText(range));
    CurrentGroup->StartAddress = range.StartAddress;
    CurrentGroup->EndAddress = range.EndAddress;
    txtGrpAdrStart->SetText(GroupAddressToText(CurrentGroup->StartAddress));
    txtGrpAdrEnd->SetText(GroupAddressToText(CurrentGroup->EndAddress));
    // The file's type is checked; every item stays enabled, so the user may choose another.
    const int type = range.Type == Untyped ? -1 : range.Type;
    for (int i = 0; i < DatapointTypeCount; ++i)
        if (!EibDptList->ItemEnabled(i))
            EibDptList->SetItemEnabled(i, true);
    CheckOnly(type);
    if (type >= 0)
        EibDptList->SetCurrentRow(type);
    Offer_ = DatapointOffer{true, type};
    btnAdd->SetEnabled(true);
    btnAddAll->SetEnabled(true);
}

void TwinMain::ImportNextRange() {
    if (!Importing)
        return;
    if (Export_) {
        StepExport();
        return;
    }
    const ImportStep step = StepImport();
    switch (step.Kind) {
    case ImportStepKind::Finished:
        btnAbortClick();
        ShowImportNotice(ImportFinishedMessage);
        break;
    case ImportStepKind::WrongFormat:
        btnAbortClick();
        ShowImportNotice(step.WindowText());
        break;
    case ImportStepKind::BadAddress:
        ShowStandardError(Dialogs_, step.WindowText());
        break;
    case ImportStepKind::Range:
        break;
    }
}

void TwinMain::btnIgnoreClick() {
    ImportNextRange();
}

void TwinMain::btnAbortClick() {
    EndImport(Export_ ? ExportImportEndedStatus : ImportEndedStatus);
}

void TwinMain::EndImport(const char* status) {
    OfferDatapointTypes({});
    btnImport->SetEnabled(true);
    btnAdd->SetEnabled(true);
    btnIgnore->SetEnabled(false);
    btnAbort->SetEnabled(false);
    btnAddAll->SetEnabled(false);
    txtGrpAdrEnd->SetText(GroupAddressToText(0));
    txtGrpAdrStart->SetText(GroupAddressToText(0));
    CurrentGroup->StartAddress = 0;
    CurrentGroup->EndAddress = 0;
    EibDptList->SetCurrentRow(0);
    labStatus->SetText(status);
    Importing = false;
    Export_.reset();
}

void TwinMain::btnAddAllClick() {
    if (!Importing || !btnAddAll->Enabled())
        return;
    // The same-start question offers "to all" answers for the rest of this run.
    struct Adding {
        TwinMain& Window;
        explicit Adding(TwinMain& window) : Window(window) {
            Window.AddingAll_ = true;
            Window.AnswerToAll_ = 0;
        }
        ~Adding() {
            Window.AddingAll_ = false;
            Window.AnswerToAll_ = 0;
        }
    } const adding(*this);
    AddAllStart_ = NextLineNumber();
    if (Export_)
        AddAllExport();
    else
        AddAllEts3();
}

void TwinMain::ShowAddAllEnd() {
    // Once, at the end, before the notice: the list behind it shows where the run ended.
    if (NextLineNumber() > AddAllStart_)
        CommandList->ScrollToLine(NextLineNumber() - 1);
}

void TwinMain::AddAllExport() {
    ExportSession& session = *Export_;
    const std::vector<ImportedRange>& ranges = session.Build.Ranges;
    const std::size_t offered = session.Next - 1;
    const ImportedRange& current = ranges[offered];
    // The offered range goes first on its own only when the user chose another type for it; otherwise it is
    // one of the ranges that follow, so that an unchanged Add all gives exactly zeloctl's lines.
    const int checked = ReadDptList().FirstChecked();
    const bool ownChoice = checked >= 0 && checked != current.Type;
    const std::size_t first = ownChoice ? offered + 1 : offered;
    int untyped = 0;
    for (std::size_t i = first; i < ranges.size(); ++i)
        untyped += ranges[i].Type == Untyped ? 1 : 0;
    bool asOther = false;
    if (untyped > 0) {
        const int answer = Dialogs_.MessageBox(UntypedRangesQuestion(untyped), ImportNoticeTitle,
                                               box::YesNoCancel | box::IconQuestion);
        if (answer != box::IdYes && answer != box::IdNo)
            return; // the offered range stays offered
        asOther = answer == box::IdYes;
    }

    std::vector<ImportedRange> plan;
    if (ownChoice) {
        plan.push_back(current);
        plan.back().Type = checked;
    }
    int skipped = 0;
    if (asOther) {
        // Built again as zeloctl's --unknown other builds: untyped addresses join their GENERIC neighbours.
        RangeOptions options;
        options.Untyped = UntypedPolicy::Other;
        const int from = ownChoice ? current.EndAddress + 1 : current.StartAddress;
        for (auto& range : RangesFrom(BuildRanges(session.Records, options).Ranges, from))
            plan.push_back(std::move(range));
    } else {
        for (std::size_t i = first; i < ranges.size(); ++i) {
            if (ranges[i].Type == Untyped)
                ++skipped;
            else
                plan.push_back(ranges[i]);
        }
    }

    AddAllCount count;
    for (const ImportedRange& range : plan) {
        CurrentGroup->StartAddress = range.StartAddress;
        CurrentGroup->EndAddress = range.EndAddress;
        // Only the check marks the range entry reads are written; the import's end puts the rest back.
        CheckOnly(range.Type);
        AddForAll(count);
    }
    ProgressBar->SetPosition(static_cast<int>(ranges.size()));
    const std::string detail = SessionDetail(session);
    EndImport(ExportImportEndedStatus);
    ShowAddAllEnd();
    ShowImportNotice(std::string(ExportImportFinishedMessage) + "\n\n" +
                         AddAllCounts(count.Added, skipped, count.Present),
                     detail);
}

void TwinMain::AddForAll(AddAllCount& count) {
    const int lines = CommandList->LineCount();
    try {
        AddCurrentGroup();
    } catch (...) {
        // A full table: the ranges so far stay, the import ends, and the error is shown.
        btnAbortClick();
        throw;
    }
    ++(CommandList->LineCount() > lines ? count.Added : count.Present);
}

void TwinMain::AddAllEts3() {
    AddAllCount count;
    int skipped = 0;
    // The offered range first, with whatever the user has checked for it; then every following range. The
    // later ranges are offered to a copy of the list, not to its widgets: only the check marks that the
    // range entry reads are written, and the import's end puts every control back anyway.
    DptListState list = ReadDptList();
    DptListState shown = list;
    DatapointOffer offer = Offer_;
    ImportStep step;
    step.Kind = ImportStepKind::Range;
    for (;;) {
        if (step.Kind == ImportStepKind::Range) {
            const std::optional<int> type = BatchDatapointType(offer, list);
            if (type) {
                // Nothing checked: the suggestion becomes the checked type, as a click would make it.
                DptListState wanted = list;
                wanted.Checked[*type] = true;
                for (int i = 0; i < DatapointTypeCount; ++i)
                    if (shown.Checked[i] != wanted.Checked[i])
                        EibDptList->SetChecked(i, wanted.Checked[i]);
                shown.Checked = wanted.Checked;
                AddForAll(count);
            } else {
                ++skipped;
            }
        } else if (step.Kind == ImportStepKind::BadAddress) {
            ++skipped;
        } else {
            break;
        }
        step = Importer_->Next();
        ImportIndex = Importer_->ImportIndex();
        if (step.Kind == ImportStepKind::Range) {
            CurrentGroup->StartAddress = step.Range.StartAddress;
            CurrentGroup->EndAddress = step.Range.EndAddress;
            offer = zelo::OfferDatapointTypes(step.Range.Datatype, list);
        }
    }
    ImportFields.assign(Importer_->ImportFields().begin(), Importer_->ImportFields().end());
    ProgressBar->SetPosition(ImportIndex);
    btnAbortClick();
    ShowAddAllEnd();
    ShowImportNotice(
        (step.Kind == ImportStepKind::Finished ? std::string(ImportFinishedMessage) : step.WindowText()) +
        "\n\n" + AddAllCounts(count.Added, skipped, count.Present));
}

} // namespace zelo
