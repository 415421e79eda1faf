// The ETS3 import of the window: walks an export range by range in the controls of the range entry.
#include "model/Address.h"
#include "window/StandardError.h"
#include "window/TwinMain.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace zelo {

namespace {

std::string Counted(int count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
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

bool TwinMain::OfferDatapointTypes(const std::string& text) {
    DptListState state = ReadDptList();
    Offer_ = zelo::OfferDatapointTypes(text, state);
    WriteDptList(state);
    return Offer_.Recognised;
}

void TwinMain::ShowImportNotice(const std::string& text) {
    Dialogs_.MessageBox(text, ImportNoticeTitle, box::Ok | box::IconInformation);
}

void TwinMain::btnImportClick() {
    const std::optional<std::string> path = Dialogs_.OpenFile(OpenDialogFilter, LastFolder());
    if (!path)
        return;
    RememberFolder(*path);
    ImportFile(*path);
}

void TwinMain::ImportFile(const std::string& path) {
    // The path is UTF-8; through a u8 path it also opens on Windows, whatever the code page.
    std::ifstream in(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
    std::string bytes;
    if (in)
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    if (!in.is_open() || in.bad()) {
        // The window stays idle; nothing of the file is taken.
        ShowStandardError(Dialogs_, "Cannot open file \"" + path + "\". " + std::strerror(errno));
        return;
    }
    ImportLines = LoadImportLines(bytes);
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

ImportStep TwinMain::StepImport() {
    ProgressBar->SetPosition(ImportIndex);
    ImportStep step = Importer_->Next();
    ImportIndex = Importer_->ImportIndex();
    ImportFields = Importer_->ImportFields();
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

void TwinMain::ImportNextRange() {
    if (!Importing)
        return;
    const ImportStep step = StepImport();
    switch (step.Kind) {
    case ImportStepKind::Finished:
        btnAbortClick();
        ShowImportNotice(ImportFinishedMessage);
        break;
    case ImportStepKind::WrongFormat:
        btnAbortClick();
        ShowImportNotice(ImportWrongFormatMessage);
        break;
    case ImportStepKind::BadAddress:
        ShowStandardError(Dialogs_, step.Message);
        break;
    case ImportStepKind::Range:
        break;
    }
}

void TwinMain::btnIgnoreClick() {
    ImportNextRange();
}

void TwinMain::btnAbortClick() {
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
    labStatus->SetText(ImportEndedStatus);
    Importing = false;
}

void TwinMain::btnAddAllClick() {
    if (!Importing || !btnAddAll->Enabled())
        return;
    int added = 0;
    int present = 0; // equal to a range of the list, or replaced one with the user's consent
    int skipped = 0;
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
                const int lines = CommandList->LineCount();
                try {
                    AddCurrentGroup();
                } catch (...) {
                    // A full table: the ranges so far stay, the import ends, and the error is shown.
                    btnAbortClick();
                    throw;
                }
                ++(CommandList->LineCount() > lines ? added : present);
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
    ImportFields = Importer_->ImportFields();
    ProgressBar->SetPosition(ImportIndex);
    btnAbortClick();
    // Once, at the end: the list shows where the run ended.
    if (added > 0)
        CommandList->ScrollToLine(NextLineNumber() - 1);
    const std::string counts =
        Counted(added, "range", "ranges") + " added, " + Counted(skipped, "range", "ranges") + " skipped" +
        (present > 0 ? ", " + Counted(present, "range", "ranges") + " already in the list or replaced."
                     : ".");
    ShowImportNotice(std::string(step.Kind == ImportStepKind::Finished ? ImportFinishedMessage
                                                                       : ImportWrongFormatMessage) +
                     "\n\n" + counts);
}

} // namespace zelo
