#include "window/ImportSession.h"
#include "ets/EtsBatch.h"
#include "model/Address.h"
#include "model/Error.h"
#include "os/Files.h"
#include "project/ProjectImport.h"
#include "window/Catalogue.h"
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

DptListState ImportSession::ReadDptList() const {
    DptListState state;
    for (std::size_t i = 0; i < state.Checked.size(); ++i) {
        state.Enabled[i] = W.EibDptList->ItemEnabled(static_cast<int>(i));
        state.Checked[i] = W.EibDptList->Checked(static_cast<int>(i));
    }
    state.Current = W.EibDptList->CurrentRow();
    return state;
}

void ImportSession::WriteDptList(const DptListState& state) {
    ICheckList& list = *W.EibDptList;
    for (std::size_t i = 0; i < state.Checked.size(); ++i) {
        const int row = static_cast<int>(i);
        if (list.ItemEnabled(row) != state.Enabled[i])
            list.SetItemEnabled(row, state.Enabled[i]);
        if (list.Checked(row) != state.Checked[i])
            list.SetChecked(row, state.Checked[i]);
    }
    if (list.CurrentRow() != state.Current)
        list.SetCurrentRow(state.Current);
}

void ImportSession::CheckOnly(int row) {
    for (int i = 0; i < DatapointTypeCount; ++i)
        if (W.EibDptList->Checked(i) != (i == row))
            W.EibDptList->SetChecked(i, i == row);
}

bool ImportSession::OfferDatapointTypes(const std::string& text) {
    DptListState state = ReadDptList();
    Offer_ = zelo::OfferDatapointTypes(text, state);
    WriteDptList(state);
    return Offer_.Recognised;
}

void ImportSession::ShowNotice(const std::string& text, const std::string& detail) {
    W.Dialogs_.MessageBox(text, ImportNoticeTitle, box::Ok | box::IconInformation, detail);
}

void ImportSession::ImportFile(const std::string& path) {
    if (W.Importing)
        return;
    std::string bytes;
    try {
        bytes = os::ReadWholeFile(path, os::ImportLimit);
    } catch (const Exception& error) {
        // The window stays idle; nothing of the file is taken.
        ShowStandardError(W.Dialogs_, error.Message());
        return;
    }
    LastFile_ = path;
    const std::string name = path.substr(path.find_last_of("/\\") + 1);
    std::optional<std::string> password;
    ExportReading reading;
    for (;;) {
        {
            // Reading and building take well under a second for the largest files: the wait cursor says it.
            W.winMain->SetWaitCursor(true);
            const ScopeExit normal([this] { W.winMain->SetWaitCursor(false); });
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
        password = W.Dialogs_.AskPassword(reading.Refusal->Message + "\nEnter the password of " + name + ":",
                                          ProjectPasswordTitle);
        if (!password)
            return;
    }
    if (reading.Refusal) {
        W.Dialogs_.MessageBox(reading.Refusal->WindowText(), ImportNoticeTitle, box::Ok | box::IconError);
        return;
    }
    if (reading.Detected.Format == ExportFormat::Ets3)
        StartEts3(std::move(reading.Ets3Lines));
    else
        StartExport(std::move(reading));
}

void ImportSession::Started(int steps) {
    W.ProgressBar->SetMinimum(0);
    W.ProgressBar->SetMaximum(steps);
    W.ProgressBar->SetPosition(0);
    W.btnImport->SetEnabled(false);
    W.btnIgnore->SetEnabled(true);
    W.btnAbort->SetEnabled(true);
    W.Importing = true;
    NextRange();
}

void ImportSession::StartEts3(TextLines lines) {
    W.ImportLines = std::move(lines);
    Importer_ = std::make_unique<EtsImporter>(W.ImportLines);
    W.ImportFields.clear();
    W.ImportIndex = 0;
    Started(static_cast<int>(W.ImportLines.size()));
}

void ImportSession::StartExport(ExportReading reading) {
    // No leaves everything as it was.
    if (!reading.BadEntries.empty() &&
        W.Dialogs_.MessageBox(SkipBadQuestion(reading.BadEntries), ImportNoticeTitle,
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
        W.Dialogs_.MessageBox(result.Refusal->WindowText(), ImportNoticeTitle, box::Ok | box::IconError);
        return;
    }
    session->Detected = result.Reading.Detected;
    session->Build = std::move(result.Build);
    session->Warnings = std::move(result.Warnings);
    session->Summary = std::move(result.Summary);
    Export_ = std::move(session);
    Started(static_cast<int>(Export_->Build.Ranges.size()));
}

void ImportSession::OfferRange(std::uint16_t start, std::uint16_t end) {
    W.CurrentGroup->StartAddress = start;
    W.CurrentGroup->EndAddress = end;
    W.txtGrpAdrStart->SetText(GroupAddressToText(start));
    W.txtGrpAdrEnd->SetText(GroupAddressToText(end));
}

ImportStep ImportSession::StepEts3() {
    W.ProgressBar->SetPosition(W.ImportIndex);
    ImportStep step = Importer_->Next();
    W.ImportIndex = Importer_->ImportIndex();
    W.ImportFields.assign(Importer_->ImportFields().begin(), Importer_->ImportFields().end());
    if (step.Kind == ImportStepKind::BadAddress) {
        // The line is passed over; until a range is offered again there is nothing to accept.
        W.labStatus->SetText(TrMessage(step.Range.StatusText));
        W.btnAdd->SetEnabled(false);
        W.btnAddAll->SetEnabled(false);
    } else if (step.Kind == ImportStepKind::Range) {
        const ImportRange& range = step.Range;
        W.labStatus->SetText(TrMessage(range.StatusText));
        OfferRange(range.StartAddress, range.EndAddress);
        W.btnAdd->SetEnabled(OfferDatapointTypes(range.Datatype));
        W.btnAddAll->SetEnabled(true);
    }
    return step;
}

void ImportSession::StepExport() {
    ExportSession& session = *Export_;
    W.ProgressBar->SetPosition(static_cast<int>(session.Next));
    if (session.Next >= session.Build.Ranges.size()) {
        const std::string detail = SessionDetail(session);
        End(ExportImportEndedStatus);
        ShowNotice(ExportImportFinishedMessage, detail);
        return;
    }
    const ImportedRange& range = session.Build.Ranges[session.Next++];
    W.labStatus->SetText(TrMessage(ExportStatusText(range)));
    OfferRange(range.StartAddress, range.EndAddress);
    // The file's type is checked; every item stays enabled, so the user may choose another.
    const int type = range.Type == Untyped ? -1 : range.Type;
    for (int i = 0; i < DatapointTypeCount; ++i)
        if (!W.EibDptList->ItemEnabled(i))
            W.EibDptList->SetItemEnabled(i, true);
    CheckOnly(type);
    if (type >= 0)
        W.EibDptList->SetCurrentRow(type);
    Offer_ = DatapointOffer{true, type};
    W.btnAdd->SetEnabled(true);
    W.btnAddAll->SetEnabled(true);
}

void ImportSession::NextRange() {
    if (!W.Importing)
        return;
    if (Export_) {
        StepExport();
        return;
    }
    const ImportStep step = StepEts3();
    switch (step.Kind) {
    case ImportStepKind::Finished:
        Abort();
        ShowNotice(ImportFinishedMessage);
        break;
    case ImportStepKind::WrongFormat:
        Abort();
        ShowNotice(step.WindowText());
        break;
    case ImportStepKind::BadAddress:
        ShowStandardError(W.Dialogs_, step.WindowText());
        break;
    case ImportStepKind::Range:
        break;
    }
}

void ImportSession::Abort() {
    End(Export_ ? ExportImportEndedStatus : ImportEndedStatus);
}

void ImportSession::End(const char* status) {
    OfferDatapointTypes({});
    W.btnImport->SetEnabled(true);
    W.btnAdd->SetEnabled(true);
    W.btnIgnore->SetEnabled(false);
    W.btnAbort->SetEnabled(false);
    W.btnAddAll->SetEnabled(false);
    OfferRange(0, 0);
    W.EibDptList->SetCurrentRow(0);
    W.labStatus->SetText(TrMessage(status));
    W.Importing = false;
    Export_.reset();
}

void ImportSession::AddAll() {
    if (!W.Importing || !W.btnAddAll->Enabled())
        return;
    // The same-start question offers "to all" answers for the rest of this run.
    W.Range_.BeginAddAll();
    const ScopeExit done([this] { W.Range_.EndAddAll(); });
    AddAllStart_ = W.Document_.NextLineNumber();
    if (Export_)
        AddAllExport();
    else
        AddAllEts3();
}

void ImportSession::ShowAddAllEnd() {
    // Once, at the end, before the notice: the list behind it shows where the run ended.
    const int next = W.Document_.NextLineNumber();
    if (next > AddAllStart_)
        W.CommandList->ScrollToLine(next - 1);
}

void ImportSession::AddAllExport() {
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
        const int answer = W.Dialogs_.MessageBox(UntypedRangesQuestion(untyped), ImportNoticeTitle,
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
        W.CurrentGroup->StartAddress = range.StartAddress;
        W.CurrentGroup->EndAddress = range.EndAddress;
        AddForAll(range.Type, count);
    }
    W.ProgressBar->SetPosition(static_cast<int>(ranges.size()));
    const std::string detail = SessionDetail(session);
    End(ExportImportEndedStatus);
    ShowAddAllEnd();
    ShowNotice(std::string(ExportImportFinishedMessage) + "\n\n" +
                   AddAllCounts(count.Added, skipped, count.Present),
               detail);
}

void ImportSession::AddForAll(int type, AddAllCount& count) {
    const int lines = W.CommandList->LineCount();
    try {
        W.Range_.Add(type);
    } catch (...) {
        // A full table: the ranges so far stay, the import ends, and the error is shown.
        Abort();
        throw;
    }
    ++(W.CommandList->LineCount() > lines ? count.Added : count.Present);
}

void ImportSession::AddAllEts3() {
    AddAllCount count;
    int skipped = 0;
    // The offered range first, as the user may have changed its addresses, with whatever the user has
    // checked for it; then every following range, offered to a copy of the list: only the type each range
    // takes goes on, and the import's end puts every control back anyway.
    DptListState list = ReadDptList();
    ImportStep offered;
    offered.Kind = ImportStepKind::Range;
    offered.Range.StartAddress = W.CurrentGroup->StartAddress;
    offered.Range.EndAddress = W.CurrentGroup->EndAddress;
    const ImportStep end = AcceptUnattended(*Importer_, list, std::pair{offered, Offer_},
                                            [&](const ImportStep& step, std::optional<int> type) {
                                                W.ImportIndex = Importer_->ImportIndex();
                                                if (!type) {
                                                    ++skipped;
                                                    return true;
                                                }
                                                W.CurrentGroup->StartAddress = step.Range.StartAddress;
                                                W.CurrentGroup->EndAddress = step.Range.EndAddress;
                                                AddForAll(*type, count);
                                                return true;
                                            });
    W.ImportIndex = Importer_->ImportIndex();
    W.ImportFields.assign(Importer_->ImportFields().begin(), Importer_->ImportFields().end());
    W.ProgressBar->SetPosition(W.ImportIndex);
    Abort();
    ShowAddAllEnd();
    ShowNotice(
        (end.Kind == ImportStepKind::Finished ? std::string(ImportFinishedMessage) : end.WindowText()) +
        "\n\n" + AddAllCounts(count.Added, skipped, count.Present));
}

} // namespace zelo
