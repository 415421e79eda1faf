#pragma once
// One import of an ETS file: an ETS3 export walked range by range as it always was, or today's exports and
// project files read whole, their ranges built at once, then offered one by one in the range entry or all
// accepted at once.
#include "ets/EtsExport.h"
#include "ets/EtsImport.h"

#include <memory>
#include <string>
#include <vector>

namespace zelo {

class TwinMain;

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

// Works on the window's controls and on the import fields TwinMain holds (ImportLines, ImportFields,
// ImportIndex, Importing, CurrentGroup).
class ImportSession {
public:
    explicit ImportSession(TwinMain& window) : W(window) {}

    // Imports a file; does nothing while an import runs.
    void ImportFile(const std::string& path);
    // Offers the next range of the file or ends the import.
    void NextRange();
    void AddAll();
    // Ends the import with its own status text.
    void Abort();
    // Sets up the datapoint list for a range's datatype text; false when the text offers nothing to accept.
    bool OfferDatapointTypes(const std::string& text);
    // The file the last import read: where the monitor takes its names from.
    const std::string& LastFile() const { return LastFile_; }

private:
    struct AddAllCount {
        int Added = 0;
        int Present = 0; // equal to a range of the list, or replaced one with the user's consent
    };
    void StartEts3(TextLines lines);
    void StartExport(ExportReading reading);
    void Started(int steps);
    ImportStep StepEts3();
    void StepExport();
    void OfferRange(std::uint16_t start, std::uint16_t end);
    void AddAllExport();
    void AddAllEts3();
    // Adds the range in CurrentGroup with its type during Add all and counts it; a full table ends the
    // import.
    void AddForAll(int type, AddAllCount& count);
    // The list scrolled to the last line Add all appended (from AddAllStart_ on), if any.
    void ShowAddAllEnd();
    void End(const char* status);
    void ShowNotice(const std::string& text, const std::string& detail = {});
    void CheckOnly(int row);
    DptListState ReadDptList() const;
    void WriteDptList(const DptListState& state);

    TwinMain& W;
    std::unique_ptr<EtsImporter> Importer_;
    std::unique_ptr<ExportSession> Export_; // set while today's formats are imported
    DatapointOffer Offer_;
    int AddAllStart_ = 0; // the line number the run's first new line got
    std::string LastFile_;
};

} // namespace zelo
