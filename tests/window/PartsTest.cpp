// The window logic's helpers: the table that mirrors the command list's group lines, the device list, and
// the catalogue of the window's texts.
#include "FakeWindow.h"
#include "device/EibConverter.h"
#include "ets/EtsExport.h"
#include "model/DatapointTypes.h"
#include "model/Error.h"
#include "project/ProjectArchive.h"
#include "window/Catalogue.h"
#include "window/CatalogueTable.h"
#include "window/DeviceList.h"
#include "window/GroupLineIndex.h"
#include "window/TwinMain.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <set>
#include <sstream>

using namespace zelo;
using namespace zelo::test;

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
    EXPECT_EQ(index.FirstLine(), 1);
    index.Clear();
    EXPECT_EQ(groups.Count(), 0);
    EXPECT_TRUE(index.EntriesWithStart(0x0A03).empty());
    EXPECT_EQ(index.FirstLine(), -1);
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

} // namespace

namespace {

// Sets the catalogue's language for one test and puts English back after it.
struct InGerman {
    InGerman() { SetLanguage(Language::German); }
    ~InGerman() { SetLanguage(Language::English); }
};

// The texts marked for the catalogue in the window's sources: the literal of every Tr("..."),
// TrMessage("...") and TrFilter("..."), with C's escapes undone.
std::vector<std::string> MarkedTexts() {
    const std::regex marked(R"re(\bTr(?:Message|Filter)?\("((?:[^"\\]|\\.)*)"\))re");
    std::vector<std::string> texts;
    for (const auto& file : std::filesystem::recursive_directory_iterator(
             std::filesystem::path(ZELO_SOURCE_DIR) / "src" / "window")) {
        if (file.path().extension() != ".cpp" && file.path().extension() != ".h")
            continue;
        std::ifstream in(file.path());
        const std::string source((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        for (std::sregex_iterator m(source.begin(), source.end(), marked), end; m != end; ++m) {
            const std::string literal = (*m)[1];
            std::string text;
            for (std::size_t i = 0; i < literal.size(); ++i)
                text += literal[i] != '\\' ? literal[i] : literal[++i] == 'n' ? '\n' : literal[i];
            texts.push_back(text);
        }
    }
    return texts;
}

TEST(Catalogue, EveryWindowTextHasAGermanEntryWithTheSamePlaceholders) {
    std::vector<std::pair<std::string, std::string>> rows; // where from, the English text
    for (const auto& info : layout::Controls())
        if (!info.Text.empty())
            rows.emplace_back("layout", std::string(info.Text));
    for (const auto name : DatapointTypeNames) {
        const std::size_t open = name.find('(');
        rows.emplace_back("datapoint row", std::string(open == std::string_view::npos
                                                           ? name
                                                           : name.substr(open + 1, name.size() - open - 2)));
    }
    for (const auto& text : MarkedTexts())
        rows.emplace_back("marked", text);
    const std::vector<BadEntry> oneBad{{4, "", "no group address"}};
    const std::vector<BadEntry> threeBad{{4, "x", "\"x\" is no group address"},
                                         {5, "", "no group address"},
                                         {0, "9/9/9", "group address 9/9/9 out of range (0-32767)"}};
    const std::pair<const char*, std::string> messages[] = {
        {"logic", SaveChangesQuestion},
        {"logic", ClosingStatus},
        {"logic", ProjectPasswordTitle},
        {"logic", ExportImportEndedStatus},
        {"logic", UntypedRangesQuestion(1)},
        {"logic", UntypedRangesQuestion(7)},
        {"logic", "Ready..."},
        {"logic", "Download stopped after line 12: the gateway holds a partial configuration."},
        {"logic", "3 lines will be refused by the gateway. Download anyway?\n\nline 2: x\n... and 1 more"},
        {"logic", "Can't open /dev/ttyUSB0!"},
        {"logic", "4 ranges added, 1 range skipped, 2 ranges already in the list or replaced."},
        {"logic",
         "Group with same starting address allready exists.\nDo you wish to replace\n\ngroup address: "
         "1/2/3 to 1/2/4)\n\nwith\n\ngroup address: 1/2/3 to 1/2/9)?"},
        {"core", ImportNoticeTitle},
        {"core", ImportFinishedMessage},
        {"core", ImportEndedStatus},
        {"core", ExportImportFinishedMessage},
        {"core", ImportRefusal{ProjectFileMessage, 0, ""}.WindowText()},
        {"core", ProjectPasswordNeededText},
        {"core", WrongProjectPasswordText},
        {"core", FormatMessage(LineWithZeroByteMessage, "7")},
        {"core", FormatMessage(LineNotSingleByteMessage, "7")},
        {"core", FormatMessage(ConnectionLostMessage, "Broken pipe")},
        {"core", SkipBadQuestion(oneBad)},
        {"core", SkipBadQuestion(threeBad)},
        {"core", BadEntriesMessage(oneBad)},
    };
    for (const auto& [from, text] : messages)
        rows.emplace_back(from, text);
    // A filter's descriptions, not its patterns.
    for (const std::string_view filter : {ImportOpenFilter, CommandListFilter})
        for (std::size_t start = 0, n = 0; start < filter.size(); ++n) {
            const std::size_t end = std::min(filter.find('|', start), filter.size());
            if (n % 2 == 0)
                rows.emplace_back("filter", std::string(filter.substr(start, end - start)));
            start = end + 1;
        }

    for (const auto& [from, text] : rows)
        EXPECT_TRUE(HasGerman(text)) << from << ": no German for \"" << text << "\"";
    std::set<std::string_view> seen;
    for (const auto& entry : GermanCatalogue()) {
        SCOPED_TRACE(entry.English);
        EXPECT_TRUE(seen.insert(entry.English).second) << "given twice";
        EXPECT_NE(std::string_view(entry.Translated), "");
        EXPECT_EQ(Placeholders(entry.Translated), Placeholders(entry.English));
    }
}

TEST(Catalogue, MessagesAreTranslatedWithTheirArgumentsKept) {
    const struct {
        const char* English;
        const char* German;
    } cases[] = {
        {"Exit", "Beenden"},
        {"Can't open /dev/ttyUSB0!", "/dev/ttyUSB0 kann nicht geöffnet werden!"},
        // Counts are words of the catalogue; other arguments are data and stay as they are.
        {"4 ranges added, 1 range skipped.", "4 Bereiche hinzugefügt, 1 Bereich übersprungen."},
        {"Error \"Ready...\" occured while erasing old configuration!",
         "Fehler „Ready...“ beim Löschen der alten Konfiguration!"},
        {"Connection to the gateway lost: Ready...", "Verbindung zum Gateway verloren: Ready..."},
        // An argument that is a catalogue format itself is translated in turn.
        {"2 lines cannot be imported (first: Line 4: \"x\" is no group address). Import the other addresses?",
         "2 Zeilen können nicht importiert werden (erste: Zeile 4: „x“ ist keine Gruppenadresse). Die "
         "übrigen "
         "Adressen importieren?"},
        // Whole when the catalogue has it so, else line by line; a line not in it stays.
        {"Import file has wrong format!\nThe file holds no group address.",
         "Die Importdatei hat ein falsches Format!\nDie Datei enthält keine Gruppenadresse."},
        {"Save changes to the command list?\n#DG1/2/3=BIT;RW",
         "Änderungen an der Befehlsliste speichern?\n#DG1/2/3=BIT;RW"},
        // %d takes digits only.
        {"Port x is out of range", "Port x is out of range"},
        {"Port -1 is out of range", "Port -1 liegt außerhalb des zulässigen Bereichs"},
        {"Line 3 has 1 field; an ETS3 export line has 46 or more.",
         "Zeile 3 hat 1 Feld; eine Zeile eines ETS3-Exports hat 46 oder mehr."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TrMessage(c.English), c.English) << "English is the default";
        InGerman german;
        EXPECT_EQ(TrMessage(c.English), c.German);
    }
    InGerman german;
    EXPECT_EQ(TrDatapointRow("DPT 5.001 (8 bit percent)"), "DPT 5.001 (8-Bit-Prozentwert)");
    EXPECT_EQ(TrDatapointRow("other"), "Sonstige");
    EXPECT_EQ(TrFilter(CommandListFilter), "Befehlsliste (*.txt)|*.txt|Alle Dateien (*.*)|*.*");
    EXPECT_EQ(Fill(Tr("Download stopped after line %d: the gateway holds a partial configuration."), {"12"}),
              "Übertragung nach Zeile 12 angehalten: Das Gateway hat nur einen Teil der Konfiguration.");
}

TEST(Catalogue, LanguageFromTheOverrideOrTheLocale) {
    const struct {
        const char* Override;
        const char* Locale;
        Language Expected;
    } cases[] = {
        {"", "de", Language::German},           {"", "de_DE.UTF-8", Language::German},
        {"", "de_AT", Language::German},        {"", "de_CH.ISO-8859-1@euro", Language::German},
        {"", "C", Language::English},           {"", "C.UTF-8", Language::English},
        {"", "en_US.UTF-8", Language::English}, {"", "", Language::English},
        {"", "dev", Language::English},         {"", "fr_FR", Language::English},
        {"de", "C", Language::German},          {"en", "de_DE.UTF-8", Language::English},
        {"fr", "de_DE", Language::German},      {"DE", "C", Language::English},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ChooseLanguage(c.Override, c.Locale), c.Expected) << c.Override << " / " << c.Locale;
}

} // namespace
