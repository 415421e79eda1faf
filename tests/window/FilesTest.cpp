// The command list as a file: save and open, the caption, the unsaved-changes question for every way out, the
// recovery file a termination leaves, drops and the file named at start, the last folder.
#include "../ets/EtsTestFile.h"
#include "FakeWindow.h"
#include "ImportSupport.h"
#include "commands/CommandList.h"
#include "version/VersionInfo.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace zelo;
using namespace zelo::test;
using layout::Command;
using layout::ControlId;

namespace {

const int SaveQuestion = box::YesNoCancel | box::IconQuestion;

std::string Caption(const std::string& suffix = {}) {
    return "ZELO-KNX-ASCII Configurator V" + VersionText(VersionInfo) + suffix;
}

bool Exists(const std::string& path) {
    return std::filesystem::exists(path);
}

// Lists as the window builds them and as users type them; each must come back from its file as it was.
TEST(ListFile, SavedAndOpenedAgainGivesTheSameList) {
    const struct {
        const char* Case;
        std::string Typed; // over the start-up list; empty: ranges added instead
        Lines Expected;
    } cases[] = {
        {"ranges added", {}, {"#SETUP=1.1.250;ON;OFF;ON", "#DG1/0/0-1/0/10=VALUE;RW", "#DG2/1/0=BIT;R"}},
        {"typed, no line end at the end",
         "#SETUP=1.2.3;OFF;ON;OFF\n#DG0/0/1=BIT;W\nnote",
         {"#SETUP=1.2.3;OFF;ON;OFF", "#DG0/0/1=BIT;W", "note"}},
        {"blank lines inside and text outside Latin-1",
         "#DG0/0/1=BIT;W\n\nK\xC3\xBC"
         "che \xE2\x82\xAC\n",
         {"#DG0/0/1=BIT;W", "",
          "K\xC3\xBC"
          "che \xE2\x82\xAC"}},
        {"an empty list", "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        FakeWindow author;
        const std::string file = author.Dir.File("list.txt");
        if (c.Typed.empty() && !c.Expected.empty()) {
            author.Enter(author.txtPhyAdr, "1.1.250");
            author.Click(author.chkPrintSource);
            author.Click(author.chkFullDuplex);
            author.AddRange("1/0/0", "1/0/10", 11);
            author.ChooseAccess(0);
            author.AddRange("2/1/0", "2/1/0", 1);
        } else {
            author.EditCommandList(c.Typed);
        }
        ASSERT_EQ(author.Lines(), c.Expected);
        EXPECT_TRUE(author.Logic().Document().Modified());
        author.Boxes.SaveNames = {file};
        author.Shortcut(Command::Save);
        ASSERT_EQ(author.Boxes.Saves.size(), 1u);
        EXPECT_EQ(author.Boxes.Saves[0].Filter, "Command list (*.txt)|*.txt|All files (*.*)|*.*");
        EXPECT_EQ(author.Boxes.Saves[0].Name, "commands.txt");
        EXPECT_EQ(ReadBytes(file), CommandListFileText(c.Expected));
        EXPECT_FALSE(author.Logic().Document().Modified());
        EXPECT_EQ(author.winMain.Value, Caption(" - list.txt"));

        FakeWindow reader;
        reader.Boxes.Files = {file};
        reader.Click(reader.btnOpen);
        EXPECT_EQ(reader.Boxes.Filters, Lines{"Command list (*.txt)|*.txt|All files (*.*)|*.*"});
        EXPECT_EQ(reader.Lines(), c.Expected);
        EXPECT_FALSE(reader.Logic().Document().Modified());
        EXPECT_EQ(reader.Logic().Document().FileName(), file);
        EXPECT_EQ(reader.winMain.Value, Caption(" - list.txt"));
        EXPECT_EQ(reader.CommandList.ShownLine, 0);
        // A setup line sets the device setup: the next rebuild writes the same line.
        if (!c.Expected.empty() && c.Expected[0].rfind("#SETUP=", 0) == 0) {
            reader.Click(reader.chkPrintHex);
            reader.Click(reader.chkPrintHex);
            EXPECT_EQ(reader.Lines(), c.Expected);
        }
        EXPECT_TRUE(reader.Boxes.Boxes.empty());
    }
}

// Windows line ends and a Latin-1 line, as older lists were written, are read too.
TEST(ListFile, OpenSetsTheDeviceSetupFromTheSetupLine) {
    FakeWindow w;
    w.Boxes.Files = {w.Dir.Write("a.txt", "#SETUP=2.3.4;ON;ON;OFF\r\n#DG1/1/1=BIT;RW\r\nK\xFC"
                                          "che\r\n")};
    // What the last download left on show is about the list that goes.
    w.labStatus.Value = "Configuration loaded successfully!";
    w.ProgressBar.Position = 3;
    w.Accelerator(w.btnOpen);
    EXPECT_EQ(std::pair(w.labStatus.Value, w.ProgressBar.Position), std::pair(std::string(), 0));
    EXPECT_EQ(w.txtPhyAdr.Value, "2.3.4");
    EXPECT_TRUE(w.chkPrintSource.Value);
    EXPECT_TRUE(w.chkPrintHex.Value);
    EXPECT_FALSE(w.chkFullDuplex.Value);
    Lines expected = {"#SETUP=2.3.4;ON;ON;OFF", "#DG1/1/1=BIT;RW",
                      "K\xC3\xBC"
                      "che"};
    EXPECT_EQ(w.Lines(), expected);
    // The next Add goes behind the last line, and its same-start search knows the opened lines.
    w.Boxes.Answers = {box::IdNo};
    w.AddRange("1/1/1", "1/1/2", 1);
    EXPECT_EQ(w.Boxes.Boxes.size(), 1u);
    expected.push_back("#DG1/1/1-1/1/2=BIT;RW");
    EXPECT_EQ(w.Lines(), expected);
}

// Ctrl+S saves in place once a file is open, the Save button too; Shift+Ctrl+S always asks; cancelling
// changes nothing.
TEST(ListFile, SaveInPlaceAndSaveAs) {
    FakeWindow w;
    const std::string first = w.Dir.File("first.txt");
    const std::string second = w.Dir.File("second.txt");
    const struct {
        const char* Step;
        std::function<void()> Act;
        std::optional<std::string> Chosen; // what a dialog, if one is asked, gives
        std::size_t Dialogs;               // asked so far
        std::string FileName;
        std::string Caption;
    } steps[] = {
        {"Save, no file yet: asks, cancelled", [&w] { w.Click(w.btnSave); }, std::nullopt, 1, "", Caption()},
        {"Save, no file yet: asks", [&w] { w.Click(w.btnSave); }, first, 2, first, Caption(" - first.txt")},
        {"an edit", [&w] { w.AddRange("3/3/3", "3/3/3", 1); }, std::nullopt, 2, first,
         Caption(" - first.txt*")},
        {"Ctrl+S: in place", [&w] { w.Shortcut(Command::Save); }, std::nullopt, 2, first,
         Caption(" - first.txt")},
        // A key leaves the field being typed in first, as a click does: the address typed counts at once.
        {"an address typed, Save as from the field, cancelled",
         [&w] {
             w.MoveFocus(ControlId::txtPhyAdr);
             w.txtPhyAdr.Value = "1.2.3";
             w.Shortcut(Command::SaveAs);
         },
         std::nullopt, 3, first, Caption(" - first.txt*")},
        {"another one typed, Ctrl+S from the field: in the file",
         [&w] { w.txtPhyAdr.Value = "1.2.4", w.Shortcut(Command::Save); }, std::nullopt, 3, first,
         Caption(" - first.txt")},
        {"Save as, cancelled", [&w] { w.Shortcut(Command::SaveAs); }, std::nullopt, 4, first,
         Caption(" - first.txt")},
        {"Save as", [&w] { w.Shortcut(Command::SaveAs); }, second, 5, second, Caption(" - second.txt")},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.Step);
        w.Boxes.SaveNames = {step.Chosen};
        step.Act();
        EXPECT_EQ(w.Boxes.Saves.size(), step.Dialogs);
        EXPECT_EQ(w.Logic().Document().FileName(), step.FileName);
        EXPECT_EQ(w.winMain.Value, step.Caption);
    }
    // Save as offers the open file's folder and name.
    EXPECT_EQ(w.Boxes.Saves[3].Folder, w.Dir.Path());
    EXPECT_EQ(w.Boxes.Saves[3].Name, "first.txt");
    EXPECT_EQ(ReadBytes(first), "#SETUP=1.2.4;OFF;OFF;OFF\n#DG3/3/3=BIT;RW\n");
    EXPECT_EQ(ReadBytes(second), ReadBytes(first));
    EXPECT_TRUE(w.Boxes.Boxes.empty());
}

TEST(ListFile, FilesThatCannotBeOpenedOrWritten) {
    ScratchFolder dir;
    const std::string missing = dir.File("missing.txt");
    const std::string zero = dir.Write("zero.txt", std::string("#DG1/1/1=BIT;RW\n#DG1/1/\0x=BIT\n", 28));
    const std::string folder = dir.File("sub");
    std::filesystem::create_directory(folder);
    // The system's reason follows the file's name; where systems word it differently only its place is
    // checked.
    const struct {
        const char* Case;
        std::string Open;  // opened, or
        std::string Saved; // saved to
        std::string Message;
        bool WholeMessage;
    } cases[] = {
        {"a file that is not there",
         missing,
         {},
         "Can't read " + missing + ": No such file or directory",
         true},
        {"a zero byte", zero, {}, "Can't read " + zero + ": Line 2: zero byte", true},
        {"a folder", folder, {}, "Can't read " + folder + ": ", false},
        {"saved over a folder", {}, folder, "Can't write " + folder + ": ", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        FakeWindow w;
        w.EditCommandList("#DG5/5/5=BIT;RW\n");
        if (!c.Open.empty()) {
            w.Boxes.Answers = {box::IdNo}; // the list in the window is not to be kept
            w.Boxes.Files = {c.Open};
            w.Click(w.btnOpen);
        } else {
            w.Boxes.SaveNames = {c.Saved};
            w.Click(w.btnSave);
        }
        ASSERT_FALSE(w.Boxes.Boxes.empty());
        const std::string& shown = w.Boxes.Boxes.back().Text;
        if (c.WholeMessage) {
            EXPECT_EQ(shown, c.Message);
        } else {
            EXPECT_EQ(shown.rfind(c.Message, 0), 0u) << shown;
            EXPECT_GT(shown.size(), c.Message.size());
        }
        EXPECT_EQ(w.Boxes.Boxes.back().Flags, box::Ok | box::IconError);
        // Nothing of the window's list is lost, and no file is taken for it.
        EXPECT_EQ(w.Lines(), Lines{"#DG5/5/5=BIT;RW"});
        EXPECT_TRUE(w.Logic().Document().Modified());
        EXPECT_EQ(w.Logic().Document().FileName(), "");
    }
}

enum class Way { ExitButton, CloseBox, OpenAnother };

// Every way of leaving the list asks first when it has unsaved changes: Yes saves (asking for a name when
// no file is open), No leaves it, Cancel stays.
TEST(ListFile, UnsavedChangesAreAskedAboutOnEveryWayOut) {
    const struct {
        const char* Case;
        Way How;
        bool Edited;
        std::deque<int> Answers;
        std::optional<std::string>
            SaveName; // the dialog's answer when one is asked ("" for the folder's file)
        bool Left;
        bool Saved;
    } cases[] = {
        {"exit, unchanged", Way::ExitButton, false, {}, std::nullopt, true, false},
        {"exit, yes", Way::ExitButton, true, {box::IdYes}, "", true, true},
        {"exit, yes, name dialog cancelled", Way::ExitButton, true, {box::IdYes}, std::nullopt, false, false},
        {"exit, no", Way::ExitButton, true, {box::IdNo}, std::nullopt, true, false},
        {"exit, cancel", Way::ExitButton, true, {box::IdCancel}, std::nullopt, false, false},
        {"close box, unchanged", Way::CloseBox, false, {}, std::nullopt, true, false},
        {"close box, yes", Way::CloseBox, true, {box::IdYes}, "", true, true},
        {"close box, no", Way::CloseBox, true, {box::IdNo}, std::nullopt, true, false},
        {"close box, cancel", Way::CloseBox, true, {box::IdCancel}, std::nullopt, false, false},
        {"open another, yes", Way::OpenAnother, true, {box::IdYes}, "", true, true},
        {"open another, no", Way::OpenAnother, true, {box::IdNo}, std::nullopt, true, false},
        {"open another, cancel", Way::OpenAnother, true, {box::IdCancel}, std::nullopt, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        FakeWindow w;
        const std::string saved = w.Dir.File("kept.txt");
        const std::string other = w.Dir.Write("other.txt", "#DG9/0/0=BIT;RW\n");
        if (c.Edited)
            w.AddRange("1/1/1", "1/1/1", 1);
        w.Boxes.Answers = c.Answers;
        if (c.SaveName)
            w.Boxes.SaveNames = {c.SaveName->empty() ? saved : *c.SaveName};
        w.Boxes.Files = {other};
        bool left = false;
        switch (c.How) {
        case Way::ExitButton:
            w.Click(w.btnExit);
            left = w.winMain.Terminated;
            break;
        case Way::CloseBox:
            left = w.CloseBox();
            break;
        case Way::OpenAnother:
            w.Click(w.btnOpen);
            left = w.Lines() == Lines{"#DG9/0/0=BIT;RW"};
            break;
        }
        EXPECT_EQ(left, c.Left);
        EXPECT_TRUE(w.Boxes.Answers.empty());
        ASSERT_EQ(w.Boxes.Boxes.size(), c.Answers.size());
        if (!w.Boxes.Boxes.empty()) {
            ExpectBox(w.Boxes.Boxes[0], "Save changes to the command list?", Caption(), SaveQuestion);
            // Saving loses nothing: Return saves.
            EXPECT_EQ(w.Boxes.Boxes[0].Default, box::IdYes);
        }
        EXPECT_EQ(Exists(saved), c.Saved);
        if (c.Saved) {
            EXPECT_EQ(ReadBytes(saved), SetupLine0 + "\n#DG1/1/1=BIT;RW\n");
        }
    }
}

// A termination request cannot ask: the unsaved list goes to the recovery file, the settings are written,
// and the next start offers the list back.
TEST(Recovery, TerminationKeepsTheListAndTheNextStartOffersIt) {
    const struct {
        const char* Case;
        bool Edited;
        int Answer; // at the next start
        Lines Restored;
    } cases[] = {
        {"unchanged: nothing to keep", false, 0, {SetupLine0}},
        {"restored", true, box::IdYes, {"#SETUP=1.2.3;OFF;OFF;OFF", "#DG4/4/4=BIT;RW"}},
        {"declined", true, box::IdNo, {SetupLine0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        ScratchFolder dir;
        const std::string settings = dir.File("zelo-configurator.ini");
        const std::string recovery = dir.File("zelo-configurator-recovered.txt");
        EXPECT_EQ(RecoveryFileName(settings), recovery);
        {
            FakeWindow w(std::nullopt, settings);
            w.Choose(w.cmbDevice, "COM4");
            if (c.Edited) {
                w.Enter(w.txtPhyAdr, "1.2.3");
                w.AddRange("4/4/4", "4/4/4", 1);
            }
            w.Terminate();
            EXPECT_TRUE(w.winMain.Terminated);
            EXPECT_TRUE(w.Boxes.Boxes.empty());
            // Written before the window is gone: a session's end may not wait for that.
            EXPECT_EQ(ReadBytes(settings), "[SerialPort]\r\nDevice=COM4\r\nBaudrate=19200\r\n\r\n");
            EXPECT_EQ(Exists(recovery), c.Edited);
            if (c.Edited) {
                EXPECT_EQ(ReadBytes(recovery), "#SETUP=1.2.3;OFF;OFF;OFF\n#DG4/4/4=BIT;RW\n");
            }
        }
        FakeWindow next(std::nullopt, settings);
        next.Boxes.Answers = {c.Answer};
        next.Logic().Run([&next] { next.Logic().Started({}); });
        EXPECT_EQ(next.Boxes.Boxes.size(), c.Edited ? 1u : 0u);
        if (c.Edited) {
            EXPECT_EQ(next.Boxes.Boxes[0].Text,
                      "The command list was not saved when the program was last ended. Restore it?");
            EXPECT_EQ(next.Boxes.Boxes[0].Flags, box::YesNo | box::IconQuestion);
        }
        EXPECT_EQ(next.Lines(), c.Restored);
        EXPECT_EQ(next.txtPhyAdr.Value, c.Restored[0].substr(7, c.Restored[0].find(';') - 7));
        // A restored list is unsaved work again; either way the file has served.
        EXPECT_EQ(next.Logic().Document().Modified(), c.Answer == box::IdYes);
        EXPECT_FALSE(Exists(recovery));
    }
}

// Dropped files and the file named at start: a list opens, an export is imported.
TEST(Drop, ListsOpenAndExportsImport) {
    const struct {
        const char* Case;
        std::string Name;
        std::string Content;
        bool AtStart;
        bool Importing;
        Lines Expected;
    } cases[] = {
        {"a list", "list.txt", "#DG1/1/1=BIT;RW\n", false, false, {"#DG1/1/1=BIT;RW"}},
        {"a list without the extension",
         "list",
         "#SETUP=1.1.1;OFF;OFF;OFF\n",
         false,
         false,
         {"#SETUP=1.1.1;OFF;OFF;OFF"}},
        {"a list at start", "list.txt", "#DG2/2/2=BIT;RW\n", true, false, {"#DG2/2/2=BIT;RW"}},
        {"an export", "export.csv", EtsFile({{}, {"Heat", "2/0/0"}}), false, true, {SetupLine0}},
        {"an export at start", "export.csv", EtsFile({{}, {"Heat", "2/0/0"}}), true, true, {SetupLine0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        FakeWindow w;
        const std::string path = w.Dir.Write(c.Name, c.Content);
        if (c.AtStart)
            w.Logic().Run([&w, &path] { w.Logic().Started({path}); });
        else
            w.Drop({path, w.Dir.Write("second.txt", "#DG9/9/9=BIT;RW\n")});
        EXPECT_EQ(w.Logic().Importing, c.Importing);
        EXPECT_EQ(w.Lines(), c.Expected);
        EXPECT_EQ(w.Logic().Document().FileName(), c.Importing ? "" : path);
        EXPECT_EQ(w.Logic().Document().LastFolder(), w.Dir.Path());
        EXPECT_TRUE(w.Boxes.Files.empty());
    }
}

TEST(Drop, WhileAnExportIsWalkedAnotherExportIsNotTaken) {
    FakeWindow w;
    Import(w, EtsFile({{}, {"Heat", "2/0/0"}}));
    ASSERT_TRUE(w.Logic().Importing);
    const std::string offered = w.txtGrpAdrStart.Value;
    w.Drop({w.Dir.Write("other.csv", EtsFile({{"Other", "5/5/5"}}))});
    EXPECT_EQ(w.txtGrpAdrStart.Value, offered);
    EXPECT_TRUE(w.Boxes.Boxes.empty());
}

// The window's place goes into the window's own section once the user has moved or resized it, and comes
// back at the next start; a window left where it started writes nothing.
TEST(WindowPlace, KeptInItsOwnSectionOnceMoved) {
    const layout::Placement start{451, 158, {1016, 734}}, moved{40, 30, {900, 640}};
    for (const auto& [shown, end, kept] :
         {std::tuple{true, start, false}, std::tuple{true, moved, true}, std::tuple{false, moved, false}}) {
        ScratchFolder dir;
        {
            FakeWindow w(std::nullopt, dir.File("zelo.ini"));
            w.winMain.Where = start;
            if (shown)
                w.Logic().Started({});
            w.winMain.Where = end;
        }
        EXPECT_EQ(
            ReadBytes(dir.File("zelo.ini")),
            "[SerialPort]\r\nDevice=COM1\r\nBaudrate=19200\r\n\r\n" +
                std::string(kept ? "[Configurator]\r\nLeft=40\r\nTop=30\r\nWidth=900\r\nHeight=640\r\n\r\n"
                                 : ""));
        EXPECT_EQ(FakeWindow(std::nullopt, dir.File("zelo.ini")).Logic().SavedPlacement(),
                  kept ? std::optional(moved) : std::nullopt);
    }
}

// The last folder of an open, a save or an import is where every file dialog starts, also after a restart;
// it is kept in a section of its own behind the link's, which stays as it was.
TEST(LastFolder, RememberedInItsOwnSection) {
    ScratchFolder dir;
    const std::string settings = dir.File("zelo.ini");
    const std::string folder = dir.Path() + "/lists";
    std::filesystem::create_directory(folder);
    const std::string list = folder + "/a.txt";
    {
        FakeWindow w(std::nullopt, settings);
        EXPECT_EQ(w.Logic().Document().LastFolder(), "");
        w.Boxes.SaveNames = {list};
        w.Shortcut(Command::SaveAs);
        EXPECT_EQ(w.Boxes.Saves[0].Folder, "");
        EXPECT_EQ(w.Logic().Document().LastFolder(), folder);
    }
    EXPECT_EQ(ReadBytes(settings), "[SerialPort]\r\nDevice=COM1\r\nBaudrate=19200\r\n\r\n"
                                   "[Configurator]\r\nLastFolder=" +
                                       folder + "\r\n\r\n");
    FakeWindow w(std::nullopt, settings);
    w.Shortcut(Command::Open);
    w.Click(w.btnImport);
    w.Shortcut(Command::SaveAs);
    EXPECT_EQ(w.Boxes.Folders, (Lines{folder, folder}));
    ASSERT_EQ(w.Boxes.Saves.size(), 1u);
    EXPECT_EQ(w.Boxes.Saves[0].Folder, folder);
    // Nothing new used: the file is written as it was read.
    EXPECT_EQ(w.Close(), "[SerialPort]\r\nDevice=COM1\r\nBaudrate=19200\r\n\r\n"
                         "[Configurator]\r\nLastFolder=" +
                             folder + "\r\n\r\n");
}

} // namespace
