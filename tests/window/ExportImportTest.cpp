// Today's ETS exports through the window: every format offered range by range, Add, Add all with and without
// the ranges that have no datapoint type, the bad-lines question, refusals, and the real exports giving the
// lines of the core's unattended import.
#include "../ets/EtsTestFile.h"
#include "../ets/ExportTestFile.h"
#include "FakeWindow.h"
#include "ImportSupport.h"
#include "commands/CommandLine.h"
#include "project/ProjectImport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

using namespace zelo;
using namespace zelo::test;
using namespace std::string_literals;

namespace {

using Rows = std::vector<int>;
constexpr int Bit = 1, Percent = 12, Value = 11, Other = 16;

// Hierarchy rows, two bit addresses that join, a percent one, an untyped one in another middle group.
std::vector<GaRow> TreeRows(const std::string& untypedName = "Note") {
    return {{"Lights", "1/-/-", ""},          {"Ground", "1/1/-", ""},      {"Hall", "1/1/1", "DPST-1-1"},
            {"Kitchen", "1/1/2", "DPST-1-1"}, {"Dim", "1/1/3", "DPST-5-1"}, {"Upper", "1/2/-", ""},
            {untypedName, "1/2/10", ""}};
}

// The same addresses without hierarchy rows (XML) or with OPC types (ESF).
std::vector<GaRow> FlatRows() {
    return {{"Hall", "1/1/1", "DPST-1-1"},
            {"Kitchen", "1/1/2", "DPST-1-1"},
            {"Dim", "1/1/3", "DPST-5-1"},
            {"Note", "1/2/10", ""}};
}
std::vector<GaRow> EsfRows() {
    return {{"Hall", "1/1/1", "EIS 1 'Switching' (1 Bit)"},
            {"Kitchen", "1/1/2", "EIS 1 'Switching' (1 Bit)"},
            {"Dim", "1/1/3", "EIS 6 'Scaling' (1 Byte)"},
            {"Note", "1/2/10", "Unknown"}};
}

struct Offer {
    std::string Start;
    std::string End;
    Rows Checked;
    Rows Enabled; // empty: every row
    std::string Status;
};

std::string Status(const std::string& name, const std::string& dpt) {
    return "Importing data from ETS [" + name + ", datatype: \"" + dpt + "\"]...";
}

const std::vector<Offer> TreeOffers = {
    {"1/1/1", "1/1/2", {Bit}, {}, Status("Hall", "DPST-1-1")},
    {"1/1/3", "1/1/3", {Percent}, {}, Status("Dim", "DPST-5-1")},
    {"1/2/10", "1/2/10", {}, {}, Status("Note", "")},
};

// Each reader once; the other CSV layouts and encodings are the core's
// (CsvExport.EveryLayoutSeparatorHeaderAndEncoding).
TEST(ExportImport, EveryFormatIsOfferedRangeByRange) {
    const std::string umlaut = "K\xC3\xBC"
                               "che";
    const struct {
        const char* Name;
        std::string File;
        std::vector<Offer> Offers;
        bool Ets3 = false; // the notices of the ETS3 import
    } cases[] = {
        {"CSV 1/1, comma, header", CsvExport(TreeRows(), CsvLayout::Name1Address1, ',', true), TreeOffers},
        {"CSV 3/1, semicolon, Windows-1252",
         Encoded(CsvExport(TreeRows(umlaut), CsvLayout::Names3Address1, ';', false),
                 TextEncoding::Windows1252, false),
         {TreeOffers[0], TreeOffers[1], {"1/2/10", "1/2/10", {}, {}, Status(umlaut, "")}}},
        {"XML, nested three deep", XmlExport(FlatRows(), 3), TreeOffers},
        {"ESF",
         EsfExport(EsfRows()),
         {{"1/1/1", "1/1/2", {Bit}, {}, Status("Hall", "EIS 1 'Switching' (1 Bit)")},
          {"1/1/3", "1/1/3", {Percent}, {}, Status("Dim", "EIS 6 'Scaling' (1 Byte)")},
          {"1/2/10", "1/2/10", {}, {}, Status("Note", "Unknown")}}},
        // The ETS3 export keeps its own walk and texts.
        {"ETS3",
         EtsFile({{"Hall", "1/1/1", "1b"}, {"Hall", "1/1/2", "1b"}}),
         {{"1/1/1",
           "1/1/2",
           {Bit},
           {Bit, Other},
           "Importing data from ETS3 [Hall - Ground floor / switch datatype: \"1b\"]..."}},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        FakeWindow w;
        Import(w, c.File);
        for (std::size_t i = 0; i < c.Offers.size(); ++i) {
            const Offer& offer = c.Offers[i];
            SCOPED_TRACE(offer.Start);
            ASSERT_TRUE(w.Logic().Importing);
            EXPECT_EQ(ImportButtons(w), "GBAL");
            EXPECT_EQ(w.txtGrpAdrStart.Value, offer.Start);
            EXPECT_EQ(w.txtGrpAdrEnd.Value, offer.End);
            EXPECT_EQ(w.EibDptList.CheckedRows(), offer.Checked);
            EXPECT_EQ(w.EibDptList.EnabledRows(), offer.Enabled.empty() ? AllRows() : offer.Enabled);
            if (!offer.Checked.empty()) {
                EXPECT_EQ(w.EibDptList.Current, offer.Checked.front());
            }
            EXPECT_EQ(w.labStatus.Value, offer.Status);
            if (!c.Ets3) {
                EXPECT_EQ(w.ProgressBar.Maximum, static_cast<int>(c.Offers.size()));
                EXPECT_EQ(w.ProgressBar.Position, static_cast<int>(i));
            }
            w.Click(w.btnIgnore);
        }
        const std::string from = c.Ets3 ? "ETS3" : "ETS";
        ASSERT_EQ(w.Boxes.Boxes.size(), 1u);
        ExpectBox(w.Boxes.Boxes[0], "Finished import from " + from + "!", "Import",
                  box::Ok | box::IconInformation);
        ExpectImportIdle(w, "Finished importing data from " + from + "!");
        EXPECT_EQ(w.Lines(), Lines{SetupLine0});
    }
}

TEST(ExportImport, AddTakesTheCheckedTypeAndTheAccessGroup) {
    FakeWindow w;
    w.ChooseAccess(1);
    Import(w, XmlExport(FlatRows()));
    w.Click(w.btnAdd); // the file's type
    w.ToggleType(Value);
    w.Click(w.btnAdd); // another type chosen by the user
    // Nothing checked for the untyped range: Add asks for a type and the range stays offered.
    w.Click(w.btnAdd);
    ASSERT_EQ(w.Boxes.Boxes.size(), 1u);
    EXPECT_EQ(w.Boxes.Boxes[0].Text, "Please select a datapoint type!");
    EXPECT_EQ(w.txtGrpAdrStart.Value, "1/2/10");
    w.ToggleType(Other);
    w.Click(w.btnAdd);
    EXPECT_EQ(w.Lines(),
              (Lines{SetupLine0, "#DG1/1/1-1/1/2=BIT;W", "#DG1/1/3=VALUE;W", "#DG1/2/10=GENERIC;W"}));
    ASSERT_EQ(w.Boxes.Boxes.size(), 2u);
    EXPECT_EQ(w.Boxes.Boxes[1].Text, "Finished import from ETS!");
    // The details say what was read, as zeloctl's summary does.
    EXPECT_EQ(w.Boxes.Boxes[1].Detail,
              "ETS XML, UTF-8: 4 addresses, 3 ranges; 1 untyped, 0 duplicates, 0 bad lines.");
    ExpectImportIdle(w, "Finished importing data from ETS!");
}

TEST(ExportImport, AbortEndsWithoutANotice) {
    FakeWindow w;
    Import(w, XmlExport(FlatRows()));
    w.Click(w.btnAdd);
    w.Click(w.btnAbort);
    EXPECT_TRUE(w.Boxes.Boxes.empty());
    ExpectImportIdle(w, "Finished importing data from ETS!");
    EXPECT_EQ(w.Lines(), (Lines{SetupLine0, "#DG1/1/1-1/1/2=BIT;RW"}));
    // The next import of an ETS3 file is an ETS3 import again.
    Import(w, EtsFile({{"Hall", "1/1/1", "1b"}}));
    w.Click(w.btnAbort);
    EXPECT_EQ(w.labStatus.Value, "Finished importing data from ETS3!");
}

// GENERIC neighbours: an untyped address next to a typed GENERIC one joins it when untyped ones are written
// as other, as zeloctl's --unknown other joins them.
std::string GenericNeighbours() {
    return XmlExport({{"Scene", "2/0/0", "DPST-17-1"},
                      {"Raw", "2/0/1", ""},
                      {"Raw", "2/0/2", ""},
                      {"Temp", "2/1/0", "DPST-9-1"},
                      {"Loose", "2/2/0", ""}});
}

TEST(ExportImport, AddAllAsksOnceAboutRangesWithoutAType) {
    const struct {
        const char* Name;
        std::function<void(FakeWindow&)> Before; // the user's doing before Add all
        std::optional<int> Answer;               // to the question about untyped ranges; none: not asked
        Lines Added;
        std::string Counts; // empty: the import goes on
    } cases[] = {
        {"Yes: written as other, joined with their GENERIC neighbour",
         {},
         box::IdYes,
         {"#DG2/0/0-2/0/2=GENERIC;R", "#DG2/1/0=VALUE;R", "#DG2/2/0=GENERIC;R"},
         "3 ranges added, 0 ranges skipped."},
        {"No: left out",
         {},
         box::IdNo,
         {"#DG2/0/0=GENERIC;R", "#DG2/1/0=VALUE;R"},
         "2 ranges added, 2 ranges skipped."},
        {"Cancel: nothing added, the range stays offered", {}, box::IdCancel, {}, ""},
        {"another type for the offered range: it goes first on its own",
         [](FakeWindow& w) { w.ToggleType(Bit); },
         box::IdYes,
         {"#DG2/0/0=BIT;R", "#DG2/0/1-2/0/2=GENERIC;R", "#DG2/1/0=VALUE;R", "#DG2/2/0=GENERIC;R"},
         "4 ranges added, 0 ranges skipped."},
        {"after the ranges with Ignore: only the ones left",
         [](FakeWindow& w) { w.Click(w.btnIgnore); },
         box::IdNo,
         {"#DG2/1/0=VALUE;R"},
         "1 range added, 2 ranges skipped."},
        {"a type checked for the last untyped range: no question",
         [](FakeWindow& w) {
             for (int i = 0; i < 3; ++i)
                 w.Click(w.btnIgnore);
             w.ToggleType(Percent);
         },
         std::nullopt,
         {"#DG2/2/0=PERCENT;R"},
         "1 range added, 0 ranges skipped."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        FakeWindow w;
        w.ChooseAccess(0);
        Import(w, GenericNeighbours());
        if (c.Before)
            c.Before(w);
        if (c.Answer)
            w.Boxes.Answers.push_back(*c.Answer);
        const std::size_t before = w.Boxes.Boxes.size();
        w.Click(w.btnAddAll);
        Lines expected{SetupLine0};
        expected.insert(expected.end(), c.Added.begin(), c.Added.end());
        EXPECT_EQ(w.Lines(), expected);
        std::size_t box = before;
        if (c.Answer) {
            ASSERT_GT(w.Boxes.Boxes.size(), box);
            // 2/0/1 and 2/0/2 are one range, 2/2/0 the other.
            EXPECT_EQ(
                w.Boxes.Boxes[box].Text,
                "2 ranges have no datapoint type. Add them as \"other\" (GENERIC)?\n\nNo leaves them out.");
            EXPECT_EQ(w.Boxes.Boxes[box].Flags, box::YesNoCancel | box::IconQuestion);
            ++box;
        }
        if (c.Counts.empty()) {
            EXPECT_EQ(w.Boxes.Boxes.size(), box);
            EXPECT_EQ(ImportButtons(w), "GBAL");
            EXPECT_EQ(w.txtGrpAdrStart.Value, "2/0/0");
            continue;
        }
        ASSERT_EQ(w.Boxes.Boxes.size(), box + 1);
        EXPECT_EQ(w.Boxes.Boxes[box].Text, "Finished import from ETS!\n\n" + c.Counts);
        ExpectImportIdle(w, "Finished importing data from ETS!");
    }
}

TEST(ExportImport, BadLinesAreAskedAboutAndNoChangesNothing) {
    const std::string file = CsvExport({{"A", "1/0/0", "DPST-1-1"},
                                        {"Far", "17/0/1", "DPST-1-1"},
                                        {"B", "1/0/1", "DPST-1-1"},
                                        {"Out", "3/8/1", "DPST-1-1"}},
                                       CsvLayout::Name1Address1, ',', true);
    const std::string question = "2 lines cannot be imported (first: Line 3: group address 17/0/1 out of "
                                 "range (main 0-15, middle 0-7, "
                                 "sub 0-255)). Import the other addresses?";
    for (const int answer : {box::IdYes, box::IdNo}) {
        SCOPED_TRACE(answer);
        FakeWindow w;
        const std::string status = w.labStatus.Value;
        w.Boxes.Answers.push_back(answer);
        Import(w, file);
        ASSERT_FALSE(w.Boxes.Boxes.empty());
        ExpectBox(w.Boxes.Boxes[0], question, "Import", box::YesNo | box::IconQuestion);
        if (answer == box::IdNo) {
            EXPECT_EQ(w.Boxes.Boxes.size(), 1u);
            EXPECT_EQ(ImportButtons(w), "IA");
            EXPECT_FALSE(w.Logic().Importing);
            EXPECT_EQ(w.labStatus.Value, status);
            EXPECT_EQ(w.Lines(), Lines{SetupLine0});
            continue;
        }
        EXPECT_EQ(w.txtGrpAdrStart.Value, "1/0/0");
        EXPECT_EQ(w.txtGrpAdrEnd.Value, "1/0/1");
        w.Click(w.btnAddAll);
        EXPECT_EQ(w.Lines(), (Lines{SetupLine0, "#DG1/0/0-1/0/1=BIT;RW"}));
        ASSERT_EQ(w.Boxes.Boxes.size(), 2u);
        // The lines left out are named in the details.
        EXPECT_EQ(w.Boxes.Boxes[1].Detail,
                  "ETS CSV 1/1, UTF-8, comma: 2 addresses, 1 range; 0 untyped, 0 duplicates, 2 bad lines.\n"
                  "Line 3: group address 17/0/1 out of range (main 0-15, middle 0-7, sub 0-255)\n"
                  "Line 5: group address 3/8/1 out of range (main 0-15, middle 0-7, sub 0-255)");
    }
}

TEST(ExportImport, RefusalsSayWhyAndChangeNothing) {
    const struct {
        const char* Name;
        std::string File;
        std::optional<int> Answer; // to the bad-lines question
        std::string Text;
    } cases[] = {
        {"a zero character", "\"A\",\"1/0/0\"\n\"B\",\"1/0/1\0\"\n"s, std::nullopt,
         "Import file has wrong format!\nLine 2 holds a zero character: this is a binary file, not an ETS "
         "export."},
        {"another XML root", "<?xml version=\"1.0\"?>\n<Project/>\n", std::nullopt,
         "Import file has wrong format!\nThe XML root element is <Project>, not the <GroupAddress-Export> of "
         "an ETS group address export."},
        {"no layout", "a,b\nc,d\n", std::nullopt,
         "Import file has wrong format!\nLine 1 has no group address in the columns of any ETS export layout "
         "(1/1, 3/1, 1/3, 3/3); an ETS3 export line has 46 or more fields."},
        {"a damaged project file", std::string("PK\x03\x04", 4) + "rest", std::nullopt,
         "The ETS project file is damaged: it is too short."},
        {"only bad lines, imported anyway", "\"A\",\"16/0/0\"\n", box::IdYes,
         "Import file has wrong format!\nThe file holds no group address that can be imported."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        FakeWindow w;
        const std::string status = w.labStatus.Value;
        if (c.Answer)
            w.Boxes.Answers.push_back(*c.Answer);
        Import(w, c.File);
        ASSERT_FALSE(w.Boxes.Boxes.empty());
        ExpectBox(w.Boxes.Boxes.back(), c.Text, "Import", box::Ok | box::IconError);
        EXPECT_EQ(ImportButtons(w), "IA");
        EXPECT_FALSE(w.Logic().Importing);
        EXPECT_EQ(w.labStatus.Value, status);
        EXPECT_FALSE(w.winMain.WaitCursor);
        EXPECT_EQ(w.Lines(), Lines{SetupLine0});
    }
}

// ---- The real files: the window's Add all gives the lines of the unattended import ----

// The group lines of the unattended import of a reading with the bad lines skipped, as zeloctl builds them.
Lines UnattendedLines(ExportReading reading, std::uint8_t access, UntypedPolicy untyped) {
    RangeOptions options;
    options.AccessType = access;
    options.Untyped = untyped;
    const ExportImport result = ImportReading(std::move(reading), options, true);
    Lines lines;
    for (const auto& range : result.Build.Ranges)
        lines.push_back(BuildGroupLine(ToGroup(range)));
    return lines;
}

TEST(ExportImport, EveryRealFileGivesTheLinesOfTheUnattendedImport) {
    const std::filesystem::path shared = ZELO_SOURCE_DIR "/../shared";
    if (!std::filesystem::is_directory(shared / "ets-samples") ||
        !std::filesystem::is_directory(shared / "knxproj-samples"))
        GTEST_SKIP() << "no sample exports and projects in " << shared;
    // Protected where the samples' notes say so, with the password given there.
    const std::set<std::string> protectedOnes = {"smart_linking", "test_project-ets4", "testprojekt-ets6",
                                                 "xknx_test_project"};
    int files = 0;
    for (const char* folder : {"ets-samples", "knxproj-samples"}) {
        for (const auto& entry : std::filesystem::directory_iterator(shared / folder)) {
            if (!entry.is_regular_file() || entry.path().extension() == ".md")
                continue;
            ++files;
            const std::string path = entry.path().string();
            const bool locked = protectedOnes.count(entry.path().stem().string()) > 0;
            // Read once, as zeloctl reads it; each policy builds from a copy.
            const ExportReading reading = ReadImportFile(
                path, ReadBytes(path), locked ? std::optional<std::string>("test") : std::nullopt);
            for (const bool other : {false, true}) {
                SCOPED_TRACE(path + (other ? ", untyped as other" : ", untyped skipped"));
                FakeWindow w;
                w.ChooseAccess(0);
                if (locked)
                    w.Boxes.Passwords = {"test"};
                w.Boxes.Answers = {box::IdYes}; // the bad-lines question, where there is one
                w.Boxes.Files.push_back(path);
                w.Click(w.btnImport);
                EXPECT_EQ(w.Boxes.Prompts.size(), locked ? 1u : 0u);
                ASSERT_TRUE(w.Logic().Importing);
                w.Boxes.Answers = {other ? box::IdYes : box::IdNo}; // ranges without a type, where there are
                w.Click(w.btnAddAll);
                EXPECT_FALSE(w.Logic().Importing);
                Lines window = w.Lines();
                ASSERT_EQ(window.front(), SetupLine0);
                window.erase(window.begin());
                EXPECT_EQ(window,
                          UnattendedLines(reading, 0, other ? UntypedPolicy::Other : UntypedPolicy::Skip));
                EXPECT_FALSE(window.empty() && other);
            }
        }
    }
    EXPECT_EQ(files, 20);
}

} // namespace
