// The window logic's helpers: the table that mirrors the command list's group lines, the device list, the
// wiring from a view's controls to the logic, and the catalogue of the window's texts.
#include "../ets/EtsTestFile.h"
#include "../project/ProjectWriter.h"
#include "FakeWindow.h"
#include "ImportSupport.h"
#include "commands/CommandLine.h"
#include "device/EibConverter.h"
#include "ets/EtsBatch.h"
#include "ets/EtsExport.h"
#include "model/DatapointTypes.h"
#include "model/Error.h"
#include "os/DeviceList.h"
#include "project/ProjectArchive.h"
#include "window/Catalogue.h"
#include "window/CatalogueTable.h"
#include "window/GroupLineIndex.h"
#include "window/TwinMain.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <set>

using namespace zelo;
using namespace zelo::test;
using namespace std::string_view_literals;
using os::DeviceEntry;
using os::DeviceListEntries;

namespace {

TEST(GroupLineIndex, MirrorsTheGroupLinesInOrder) {
    TEibGroups groups(32768);
    GroupLineIndex index(groups);
    const char* const lines[] = {"#SETUP=15.15.255;OFF;OFF;OFF",
                                 "#DG1/2/3-1/2/9=BIT;R",
                                 "note",
                                 "#DG1/2/3=VALUE;W",
                                 "#DG1/2/4-1/2/1=BIT;RW",
                                 "#DGx",
                                 "#DG2/0/0=FLOAT;RW",
                                 ""};
    for (int i = 0; i < 8; ++i)
        index.AddLine(i, lines[i]);
    ASSERT_EQ(groups.Count(), 3);
    EXPECT_EQ(groups.Items(0).StartAddress, 0x0A03);
    EXPECT_EQ(groups.Items(0).EndAddress, 0x0A09);
    EXPECT_EQ(groups.Items(0).AccessType, 0);
    EXPECT_EQ(groups.Items(1).DatapointType, 11);
    EXPECT_EQ(groups.Items(1).AccessType, 1);
    EXPECT_EQ(groups.Items(2).DatapointType, 14);
    EXPECT_EQ(index.EntriesWithStart(0x0A03), (std::vector<int>{0, 1}));
    EXPECT_TRUE(index.EntriesWithStart(0x0A04).empty());
    EXPECT_EQ(index.LineOf(0), 1);
    EXPECT_EQ(index.LineOf(1), 3);
    EXPECT_EQ(index.LineOf(2), 6);
    // A group the window built a line from goes in as its line carries it.
    TEibGroup built;
    built.StartAddress = 0x0A03;
    built.EndAddress = 0x0A01;
    built.DatapointType = 5;
    index.AddGroup(9, built);
    EXPECT_EQ(index.EntriesWithStart(0x0A03), (std::vector<int>{0, 1, 3}));
    EXPECT_EQ(index.LineOf(3), 9);
    EXPECT_EQ(index.Group(3).EndAddress, 0x0A03);
    EXPECT_EQ(index.Group(3).DatapointType, 5);
    index.Clear();
    EXPECT_EQ(groups.Count(), 0);
    EXPECT_TRUE(index.EntriesWithStart(0x0A03).empty());
}

TEST(GroupLineIndex, FullTableRefusesTheLine) {
    TEibGroups groups(2);
    GroupLineIndex index(groups);
    index.AddLine(0, "#DG0/0/1=BIT;RW");
    index.AddLine(1, "#DG0/0/2=BIT;RW");
    EXPECT_THROW(index.AddLine(2, "#DG0/0/3=BIT;RW"), Exception);
    EXPECT_EQ(groups.Count(), 2);
    EXPECT_TRUE(index.EntriesWithStart(3).empty());
}

TEST(GroupLineIndex, EffectiveEnd) {
    TEibGroup group;
    const struct {
        std::uint16_t Start, End, Effective;
    } cases[] = {{5, 9, 9}, {5, 5, 5}, {5, 3, 5}, {0, 0, 0}, {0x7FFF, 0, 0x7FFF}};
    for (const auto& c : cases) {
        group.StartAddress = c.Start;
        group.EndAddress = c.End;
        EXPECT_EQ(EffectiveEnd(group), c.Effective);
    }
}

// The same-start rule: the same range when the line carries the same end and type, whatever the access.
TEST(GroupLineIndex, SameRangeByStartEffectiveEndAndType) {
    const auto group = [](std::uint16_t start, std::uint16_t end, int type, int access) {
        TEibGroup g;
        g.StartAddress = start;
        g.EndAddress = end;
        g.DatapointType = static_cast<std::int8_t>(type);
        g.AccessType = static_cast<std::uint8_t>(access);
        return g;
    };
    const struct {
        TEibGroup Offered;
        bool Same;
    } cases[] = {
        {group(5, 9, 1, 2), true},  {group(5, 9, 1, 0), true},  {group(5, 9, 2, 2), false},
        {group(5, 8, 1, 2), false}, {group(6, 9, 1, 2), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SameRange(group(5, 9, 1, 2), c.Offered), c.Same) << c.Offered.EndAddress;
    EXPECT_TRUE(SameRange(group(5, 5, 1, 2), group(5, 3, 1, 2)));
    EXPECT_FALSE(SameRange(group(5, 5, 1, 2), group(5, 6, 1, 2)));
}

// The picker: the devices that exist first (each once, with a description, a real ttyS under its COM name),
// then TCP/IP, then the COM names not shown yet.
TEST(DeviceList, ExistingPortsOnceThenTcpThenTheRemainingComNames) {
    ScratchFolder dir;
    const std::string link = dir.Write("gateway", "");
    const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    const std::vector<os::PortInfo> ports = {{byId, "FTDI FT232R USB UART", "/dev/ttyUSB0"},
                                             {"/dev/ttyUSB0", "FTDI FT232R USB UART", "/dev/ttyUSB0"},
                                             {"/dev/ttyACM0", "", "/dev/ttyACM0"},
                                             {"/dev/ttyS0", "", "/dev/ttyS0"},
                                             {"/dev/ttyS4", "", ""},
                                             {"/dev/ttyS255", "", ""},
                                             {"", "", ""}};
    const DeviceEntry ftdi{byId, byId + " (FTDI FT232R USB UART)"};
    const DeviceEntry acm{"/dev/ttyACM0", "/dev/ttyACM0 (serial port)"};
    const DeviceEntry com1{"COM1", "COM1 (serial port)"};
    const DeviceEntry com5{"COM5", "COM5 (serial port)"};
    const DeviceEntry s255{"/dev/ttyS255", "/dev/ttyS255 (serial port)"};
    const DeviceEntry tcp{"TCP/IP", "TCP/IP"};
    const struct {
        std::string Configured;
        std::vector<DeviceEntry> Head;
        bool LinkOnly = false; // the system lists the FTDI device by its by-id link alone
    } cases[] = {
        {"COM1", {ftdi, acm, com1, com5, s255, tcp}},
        {"TCP/IP", {ftdi, acm, com1, com5, s255, tcp}},
        // The configured one of two names of a device is the one shown.
        {"/dev/ttyUSB0",
         {{"/dev/ttyUSB0", "/dev/ttyUSB0 (FTDI FT232R USB UART)"}, acm, com1, com5, s255, tcp}},
        {"/dev/ttyUSB0",
         {{"/dev/ttyUSB0", "/dev/ttyUSB0 (FTDI FT232R USB UART)"}, acm, com1, com5, s255, tcp},
         true},
        // An existing device path is listed after the system's; the system's folder names (a drive letter)
        // are no device path.
        {link, link.front() == '/' ? std::vector<DeviceEntry>{ftdi, acm, com1, com5, s255, {link, link}, tcp}
                                   : std::vector<DeviceEntry>{ftdi, acm, com1, com5, s255, tcp}},
        {dir.File("missing"), {ftdi, acm, com1, com5, s255, tcp}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Configured);
        std::vector<os::PortInfo> system = ports;
        if (c.LinkOnly)
            system.erase(system.begin() + 1);
        const std::vector<DeviceEntry> entries = DeviceListEntries(system, c.Configured);
        ASSERT_GE(entries.size(), c.Head.size());
        EXPECT_EQ(std::vector<DeviceEntry>(entries.begin(), entries.begin() + c.Head.size()), c.Head);
        std::vector<DeviceEntry> rest;
        for (int n = 1; n <= 255; ++n)
            if (n != 1 && n != 5)
                rest.push_back({"COM" + std::to_string(n), "COM" + std::to_string(n)});
        EXPECT_EQ(std::vector<DeviceEntry>(entries.begin() + c.Head.size(), entries.end()), rest);
    }
}

// What each kind of control raises, as the views hook it up.
TEST(Wiring, EachControlRaisesTheEventsOfItsKind) {
    using enum ControlEvent;
    using layout::ControlId;
    const struct {
        ControlId Id;
        std::vector<ControlEvent> Events;
    } rows[] = {
        {ControlId::txtPhyAdr, {Left}},
        {ControlId::txtHost, {Left}},
        // A name typed into the device list counts when its field is left.
        {ControlId::cmbDevice, {Used, DropDown, Left}},
        {ControlId::cmbBaudrate, {Used, DropDown}},
        {ControlId::btnAdd, {Used, Accelerator}},
        {ControlId::btnStop, {Used, Accelerator}},
        {ControlId::chkFullDuplex, {Used}},
        {ControlId::grpAccessType, {Used}},
        {ControlId::grpAccessType1, {}},
        {ControlId::EibDptList, {Used, TextClicked}},
        {ControlId::CommandList, {Changed}},
        {ControlId::Label3, {}},
        {ControlId::labStatus, {}},
        {ControlId::GroupAddressContainer, {}},
    };
    for (const auto& row : rows) {
        const auto events = EventsOf(layout::Info(row.Id));
        EXPECT_EQ(std::vector<ControlEvent>(events.begin(), events.end()), row.Events)
            << layout::Info(row.Id).Name;
    }
}

// A view that leaves a control out, or registers one of the wrong kind, is told so at the start, not by a
// null pointer later.
TEST(Wiring, AMissingOrMismatchedControlStopsTheStart) {
    FakeWindow w;
    const struct {
        const char* What;
        std::function<void(ControlRegistry&)> Change;
    } rows[] = {
        {"nothing registered", [](ControlRegistry& r) { r = ControlRegistry(); }},
        {"a button as the host field",
         [&w](ControlRegistry& r) { r.Add(layout::ControlId::txtHost, w.btnAdd); }},
        {"a field as the check list",
         [&w](ControlRegistry& r) { r.Add(layout::ControlId::EibDptList, w.txtPort); }},
    };
    for (const auto& row : rows) {
        ControlRegistry registry = w.Registry;
        row.Change(registry);
        EXPECT_THROW(FillControls(w.winMain, registry), std::logic_error) << row.What;
    }
    EXPECT_EQ(FillControls(w.winMain, w.Registry).txtHost, &w.txtHost);
}

} // namespace

namespace {

// Every text the window shows has a German entry: the layout's, the datapoint rows' descriptions, the
// logic's and the core's messages as they are built (the texts marked in the views are the xgettext test's).
// Every entry keeps the English placeholders.
TEST(Catalogue, EveryWindowTextHasAGermanEntryWithTheSamePlaceholders) {
    std::vector<std::string> texts;
    for (const auto& info : layout::Controls())
        if (!info.Text.empty())
            texts.emplace_back(info.Text);
    for (const auto name : DatapointTypeNames) {
        const std::size_t open = std::min(name.find('('), name.size() - 1);
        texts.emplace_back(open + 1 < name.size() ? name.substr(open + 1, name.size() - open - 2) : name);
    }
    for (const std::string_view filter :
         {ImportOpenFilter, CommandListFilter, MonitorLogFilter, MonitorNamesFilter})
        for (std::size_t start = 0, end = 0, n = 0; end != filter.npos; start = end + 1, ++n) {
            end = filter.find('|', start);
            if (n % 2 == 0)
                texts.emplace_back(filter.substr(start, end - start));
        }
    const std::vector<BadEntry> bad{{4, "x", "\"x\" is no group address"},
                                    {0, "9", "group address 9 out of range (0-32767)"}};
    for (const std::string& text :
         {std::string(SaveChangesQuestion),
          std::string(MonitorCaption),
          std::string(MonitorStopQuestion),
          std::string(MonitorRestartQuestion),
          std::string(ClosingStatus),
          std::string(ProjectPasswordTitle),
          std::string(ExportImportEndedStatus),
          UntypedRangesQuestion(1),
          UntypedRangesQuestion(7),
          std::string(
              "3 lines will be refused by the gateway. Download anyway?\n\nline 2: x\n... and 1 more"),
          std::string("4 ranges added, 1 range skipped, 2 ranges already in the list or replaced."),
          std::string(ImportNoticeTitle),
          std::string(ImportFinishedMessage),
          std::string(ImportEndedStatus),
          std::string(ExportImportFinishedMessage),
          ImportRefusal{ProjectFileMessage, 0, ""}.WindowText(),
          std::string(ProjectPasswordNeededText),
          std::string(WrongProjectPasswordText),
          FormatMessage(LineWithZeroByteMessage, "7"),
          FormatMessage(LineNotSingleByteMessage, "7"),
          FormatMessage(ConnectionLostMessage, "x"),
          SkipBadQuestion(bad),
          BadEntriesMessage(bad)})
        texts.push_back(text);
    // Why the gateway refuses a line, each reason once.
    for (const std::string_view line :
         {""sv, "#DG\0"sv, "x"sv, "#SETUP=1;2;3;4;5"sv, "#SETUP=1"sv, "#SETUP=x;ON;ON;ON"sv,
          "#SETUP=1.1.1;x;ON;ON"sv, "#SETUP=1.1.1;ON;x;ON"sv, "#SETUP=1.1.1;ON;ON;x"sv, "#DG1/1/1"sv,
          "#DGx=BIT;RW"sv, "#DG1/1/1-x=BIT;RW"sv, "#DG1/1/2-1/1/1=BIT;RW"sv, "#DG1/1/1=BIT"sv,
          "#DG1/1/1=BT;RW"sv, "#DG1/1/1=BIT;X"sv})
        texts.push_back(ParseCommandLine(line).Reason);
    for (const auto& text : texts)
        EXPECT_TRUE(HasGerman(text)) << "no German for \"" << text << "\"";
    std::set<std::string_view> seen;
    for (const auto& entry : GermanCatalogue()) {
        EXPECT_TRUE(seen.insert(entry.English).second) << "given twice: " << entry.English;
        EXPECT_EQ(Placeholders(entry.Translated), Placeholders(entry.English)) << entry.English;
    }
}

TEST(Catalogue, MessagesAreTranslatedWithTheirArgumentsKept) {
    const std::pair<const char*, const char*> cases[] = {
        {"Can't open /dev/ttyUSB0!", "/dev/ttyUSB0 kann nicht geöffnet werden!"},
        // Counts are the catalogue's words, as is a message in an argument; other arguments are data.
        {"4 ranges added, 1 range skipped.", "4 Bereiche hinzugefügt, 1 Bereich übersprungen."},
        {"2 lines cannot be imported (first: Line 4: \"Exit\" is no group address). Import the other "
         "addresses?",
         "2 Zeilen können nicht importiert werden (erste: Zeile 4: „Exit“ ist keine Gruppenadresse). Die "
         "übrigen "
         "Adressen importieren?"},
        {"Connection to the gateway lost: Ready...", "Verbindung zum Gateway verloren: Ready..."},
        // Whole when the catalogue has it so, else line by line; a line not in it stays.
        {"Save changes to the command list?\n#DG1/2/3=BIT;RW",
         "Änderungen an der Befehlsliste speichern?\n#DG1/2/3=BIT;RW"},
        // %d takes a number only.
        {"Port x is out of range", "Port x is out of range"},
        {"Port -1 is out of range", "Port -1 liegt außerhalb des zulässigen Bereichs"},
    };
    for (const auto& [english, german] : cases) {
        EXPECT_EQ(TrMessage(english), english) << "English is the default";
        SetLanguage(Language::German);
        EXPECT_EQ(TrMessage(english), german);
        EXPECT_EQ(TrDatapointRow("DPT 5.001 (8 bit percent)"), "DPT 5.001 (8-Bit-Prozentwert)");
        EXPECT_EQ(TrFilter(CommandListFilter), "Befehlsliste (*.txt)|*.txt|Alle Dateien (*.*)|*.*");
        SetLanguage(Language::English);
    }
}

// Chosen German, the window's texts reach the user in German wherever the logic shows them: the datapoint
// rows, the file dialogs' filters, the status line.
TEST(Catalogue, TheWindowShowsGermanWhereItIsChosen) {
    const InGerman german;
    const struct {
        const char* Case;
        std::function<std::string(FakeWindow&)> Shown;
        std::string Expected;
    } cases[] = {
        {"a datapoint row", [](FakeWindow& w) { return w.EibDptList.Rows.at(12).Text; },
         "DPT 5.001 (8-Bit-Prozentwert)"},
        {"the open dialog's filter",
         [](FakeWindow& w) {
             w.Click(w.btnOpen);
             return w.Boxes.Filters.at(0);
         },
         "Befehlsliste (*.txt)|*.txt|Alle Dateien (*.*)|*.*"},
        {"the driver's status at the start", [](FakeWindow& w) { return w.labStatus.Value; }, "Bereit..."},
        {"the status line at an import's end",
         [](FakeWindow& w) {
             Import(w, "Group name;Address;DPT\nLight;1/2/3;1.001\n");
             w.Click(w.btnAddAll);
             return w.labStatus.Value;
         },
         "Import der Daten aus ETS abgeschlossen!"},
    };
    for (const auto& c : cases) {
        FakeWindow w;
        EXPECT_EQ(c.Shown(w), c.Expected) << c.Case;
    }
}

// Every box the window and its monitor can show, once, in German (the downloads into the simulator have
// their own rows). Not reached here: "Out of memory while reading", which needs an allocation to fail.
TEST(Catalogue, EveryBoxInGerman) {
    const std::string noPort = "[SerialPort]\r\nDevice=NOPORT\r\nBaudrate=19200\r\n";
    // A window with the monitor open on a port that does not open.
    const auto monitor = [noPort] {
        auto window = std::make_unique<FakeWindow>(noPort);
        window->Click(window->btnMonitor);
        return window;
    };
    const auto folder = [](FakeWindow& w) {
        std::filesystem::create_directory(w.Dir.File("sub"));
        return w.Dir.File("sub");
    };
    const std::string wrongXml =
        "Die Importdatei hat ein falsches Format!\nDas XML-Wurzelelement ist <Project>, "
        "nicht das <GroupAddress-Export> eines Gruppenadressen-Exports der ETS.";
    const GermanBox boxes[] = {
        // The command list and its file.
        {"a list with a zero byte",
         [](FakeWindow& w) {
             w.Boxes.Files = {w.Dir.Write("zero.txt", std::string("#DG1/1/1=BIT;RW\n#DG1/1/\0x=BIT\n", 28))};
             w.Click(w.btnOpen);
             return LastBox(w, w.Dir.File("zero.txt"));
         },
         "<file> kann nicht gelesen werden: Zeile 2: Null-Byte"},
        {"saved over a folder",
         [folder](FakeWindow& w) {
             w.Boxes.SaveNames = {folder(w)};
             w.Click(w.btnSave);
             return LastBox(w, folder(w));
         },
         "<file> kann nicht geschrieben werden: ",
         {},
         true},
        {"unsaved changes",
         [](FakeWindow& w) {
             w.EditCommandList("#DG5/5/5=BIT;RW\n");
             w.Boxes.Answers = {box::IdCancel};
             w.Click(w.btnExit);
             return LastBox(w);
         },
         "Änderungen an der Befehlsliste speichern?"},
        {"a list kept at the last end",
         [](FakeWindow& w) {
             w.Dir.Write(RecoveryFileName(w.Dir.File("zelo.ini")).substr(w.Dir.Path().size() + 1),
                         "#DG5/5/5=BIT;RW\n");
             FakeWindow next(std::nullopt, w.Dir.File("zelo.ini"));
             next.Boxes.Answers = {box::IdNo};
             next.Logic().Run([&next] { next.Logic().Started({}); });
             return LastBox(next);
         },
         "Die Befehlsliste wurde beim letzten Beenden des Programms nicht gespeichert. Wiederherstellen?"},
        {"settings that cannot be saved",
         [](FakeWindow& w) {
             const std::string path = w.Dir.Write("plain-file", "") + "/zelo.ini";
             FakeWindow other(std::nullopt, path);
             other.Close();
             return LastBox(other, path);
         },
         "<file> kann nicht geschrieben werden: ", "ZELO-EIB-ASCII Configurator", true},
        // Range entry.
        {"a group address that does not read",
         [](FakeWindow& w) {
             w.Enter(w.txtGrpAdrStart, "1/8/0");
             return LastBox(w);
         },
         "Ungültige Gruppenadresse!\nDas Format muss „<0...15>/<0...7>/<0...255>“ sein!"},
        {"no datapoint type",
         [](FakeWindow& w) {
             w.Click(w.btnAdd);
             return LastBox(w);
         },
         "Bitte einen Datenpunkttyp auswählen!"},
        {"the same start",
         [](FakeWindow& w) {
             w.AddRange("1/2/3", "1/2/9", 1);
             w.Boxes.Answers = {box::IdNo};
             w.AddRange("1/2/3", "1/2/5", 1);
             return LastBox(w);
         },
         "Eine Gruppe mit derselben ersten Adresse ist bereits vorhanden.\nMöchten Sie\n\nGruppenadresse: "
         "1/2/3 "
         "bis 1/2/9)\n\nersetzen durch\n\nGruppenadresse: 1/2/3 bis 1/2/5)?"},
        {"a full table",
         [](FakeWindow& w) {
             w.EditCommandList(FullCommandList());
             w.Boxes.Answers = {box::IdNo};
             w.AddRange("1/0/0", "1/0/1", 1);
             return LastBox(w);
         },
         "Keine weitere Konfiguration möglich!", "ZELO-EIB-ASCII Configurator"},
        // Download, up to the link.
        {"a line the gateway refuses",
         [](FakeWindow& w) {
             w.EditCommandList("#SETUP=15.15.255;OFF;OFF;OFF\n#DG1/2/3=BT;RW\n");
             w.Boxes.Answers = {box::IdNo};
             w.Click(w.btnDownload);
             return LastBox(w);
         },
         "1 Zeile wird vom Gateway abgelehnt. Trotzdem übertragen?\n\nZeile 2: unbekannter Datenpunkttyp "
         "„BT“ "
         "(erwartet: EMPTY, BIT, CHAR, UBYTE, UWORD, UDWORD, BYTE, WORD, DWORD, TIME, DATE, VALUE, PERCENT, "
         "ANGLE, FLOAT, STRING, GENERIC)"},
        {"a character outside Latin-1",
         [](FakeWindow& w) {
             w.EditCommandList("#SETUP=15.15.255;OFF;OFF;OFF\n#DG1/2/3=BIT;RW \xE2\x82\xAC\n");
             w.Click(w.btnDownload);
             return LastBox(w);
         },
         "Zeile 2 der Befehlsliste enthält ein Zeichen, das das Gateway nicht annehmen kann!\nNur Zeichen "
         "des "
         "Zeichensatzes Latin-1 können gesendet werden."},
        {"a port that cannot be opened",
         [noPort](FakeWindow&) {
             FakeWindow other(noPort);
             other.Click(other.btnDownload);
             return LastBox(other);
         },
         "NOPORT kann nicht geöffnet werden!"},
        // Import.
        {"an import file that is not there",
         [](FakeWindow& w) {
             w.Boxes.Files = {w.Dir.File("gone.csv")};
             w.Click(w.btnImport);
             return LastBox(w, w.Dir.File("gone.csv"));
         },
         "<file> kann nicht gelesen werden: ", "ZELO-EIB-ASCII Configurator", true},
        {"an ETS3 import's end",
         [](FakeWindow& w) {
             Import(w, "");
             return LastBox(w);
         },
         "Import aus ETS3 abgeschlossen!", "Import"},
        {"an ETS3 file in another format",
         [](FakeWindow& w) {
             Import(w, "\r\n" + EtsLine({}));
             return LastBox(w);
         },
         "Die Importdatei hat ein falsches Format!\nZeile 1 ist leer; eine Zeile eines ETS3-Exports hat 46 "
         "oder "
         "mehr Felder.",
         "Import"},
        {"an ETS3 address that does not read",
         [](FakeWindow& w) {
             Import(w, EtsFile({{"A", "1/0/0", "1b"}, {"Bad", "1/9/0", "2B", "M", "D"}}));
             w.Click(w.btnIgnore);
             return LastBox(w);
         },
         "Ungültige Gruppenadresse!\nDas Format muss „<0...15>/<0...7>/<0...255>“ sein!\nZeile 2 enthält die "
         "Adresse „1/9/0“.",
         "ZELO-EIB-ASCII Configurator"},
        {"an ETS3 import's Add all",
         [](FakeWindow& w) {
             Import(w, EtsFile({{"A", "1/0/0", "1b"}}));
             w.Click(w.btnAddAll);
             return LastBox(w);
         },
         "Import aus ETS3 abgeschlossen!\n\n1 Bereich hinzugefügt, 0 Bereiche übersprungen.", "Import"},
        {"an export's bad lines",
         [](FakeWindow& w) {
             w.Boxes.Answers = {box::IdNo};
             Import(w, "\"A\",\"1/0/0\"\n\"Far\",\"17/0/1\"\n");
             return LastBox(w);
         },
         "1 Zeile kann nicht importiert werden (Zeile 2: Gruppenadresse 17/0/1 außerhalb des Bereichs "
         "(Hauptgruppe 0-15, Mittelgruppe 0-7, Untergruppe 0-255)). Die übrigen Adressen importieren?",
         "Import"},
        {"an export that does not read",
         [](FakeWindow& w) {
             Import(w, "<?xml version=\"1.0\"?>\n<Project/>\n");
             return LastBox(w);
         },
         wrongXml, "Import"},
        {"an export with nothing left to import",
         [](FakeWindow& w) {
             w.Boxes.Answers = {box::IdYes};
             Import(w, "\"A\",\"16/0/0\"\n");
             return LastBox(w);
         },
         "Die Importdatei hat ein falsches Format!\nDie Datei enthält keine Gruppenadresse, die importiert "
         "werden "
         "kann.",
         "Import"},
        {"an export's end",
         [](FakeWindow& w) {
             Import(w, "\"A\",\"1/0/0\"\n");
             w.Click(w.btnIgnore);
             return LastBox(w);
         },
         "Import aus ETS abgeschlossen!", "Import"},
        {"an export's untyped ranges",
         [](FakeWindow& w) {
             Import(w, "\"A\",\"1/0/0\"\n\"B\",\"1/0/5\"\n");
             w.Boxes.Answers = {box::IdCancel};
             w.Click(w.btnAddAll);
             return LastBox(w);
         },
         "2 Bereiche haben keinen Datenpunkttyp. Als „Sonstige“ (GENERIC) hinzufügen?\n\nMit Nein werden sie "
         "ausgelassen.",
         "Import"},
        {"an export's Add all",
         [](FakeWindow& w) {
             Import(w, "\"A\",\"1/0/0\"\n\"B\",\"1/0/5\"\n");
             w.Boxes.Answers = {box::IdNo};
             w.Click(w.btnAddAll);
             return LastBox(w);
         },
         "Import aus ETS abgeschlossen!\n\n0 Bereiche hinzugefügt, 2 Bereiche übersprungen.", "Import"},
        {"a project's password",
         [](FakeWindow& w) {
             TestProject project;
             project.Addresses = {{0x0901, "Hall", "DPST-1-1"}};
             project.Protection = ZipEncryption::WinZipAes;
             project.Password = "p";
             w.Boxes.Passwords = {"x", std::nullopt};
             Import(w, ProjectFile(project), "home.knxproj");
             return LastPrompt(w);
         },
         "Falsches Projektpasswort.\nPasswort für home.knxproj eingeben:", "Projektpasswort"},
        // The monitor.
        {"the monitor's port that cannot be opened", [monitor](FakeWindow&) { return LastBox(*monitor()); },
         "NOPORT kann nicht geöffnet werden!", "Gateway-Monitor"},
        {"a log that cannot be saved",
         [monitor, folder](FakeWindow& w) {
             const auto other = monitor();
             other->Boxes.SaveNames = {folder(w)};
             other->Monitor->Logic->Run(&MonitorWindow::btnSaveLogClick);
             return LastBox(*other, folder(w));
         },
         "<file> kann nicht geschrieben werden: ", "Gateway-Monitor", true},
        {"names that do not read",
         [monitor](FakeWindow& w) {
             const auto other = monitor();
             other->Boxes.Files = {w.Dir.Write("names.xml", "<?xml version=\"1.0\"?>\n<Project/>\n")};
             other->Monitor->Logic->Run(&MonitorWindow::btnNamesClick);
             return LastBox(*other);
         },
         wrongXml, "Gateway-Monitor"},
    };
    ExpectGermanBoxes(boxes);
}

TEST(Catalogue, LanguageFromTheOverrideOrTheLocale) {
    const std::tuple<const char*, const char*, Language> cases[] = {
        {"", "de", Language::German},       {"", "de_DE.UTF-8", Language::German},
        {"", "de_AT", Language::German},    {"", "de_CH.ISO-8859-1@euro", Language::German},
        {"", "C.UTF-8", Language::English}, {"", "en_US.UTF-8", Language::English},
        {"", "", Language::English},        {"", "dev", Language::English},
        {"de", "C", Language::German},      {"en", "de_DE.UTF-8", Language::English},
        {"fr", "de_DE", Language::German},  {"DE", "C", Language::English},
    };
    for (const auto& [override, locale, expected] : cases)
        EXPECT_EQ(ChooseLanguage(override, locale), expected) << override << " / " << locale;
}

} // namespace
