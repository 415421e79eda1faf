#include "device/EibConverter.h"
#include "DeviceTestSupport.h"
#include "Watchdog.h"
#include "model/Address.h"
#include "model/Error.h"
#include "sim/GatewaySim.h"

#include <gtest/gtest.h>

using namespace zelo;
using namespace zelo::test;

namespace {

const std::string SetupLine = "#SETUP=15.15.255;OFF;OFF;OFF";
const std::string GroupLine1 = "#DG1/2/3-1/2/5=BIT;RW";
const std::string GroupLine2 = "#DG2/0/0=VALUE;R";

std::string DownloadError(const std::string& answer, int line) {
    return "Error \"" + answer + "\" occured while configuring device!\nPlease check line " +
           std::to_string(line) + " of configuration list!";
}

std::string EraseError(const std::string& answer) {
    return "Error \"" + answer + "\" occured while erasing old configuration!";
}

// Runs the download and returns the message it raised, or "" when it raised none.
std::string DownloadMessage(TEibConverter& converter, const std::vector<std::string>& lines) {
    try {
        converter.Download(lines);
        return {};
    } catch (const Exception& e) {
        return e.Message();
    }
}

enum class Transport { Pty, Tcp };

// A simulator and a driver linked to it over the given transport, with a recorder for label and gauge.
struct Linked {
    explicit Linked(Transport transport, sim::SimOptions options = {}) : Sim(std::move(options)) {
        if (transport == Transport::Pty) {
            Converter.SetDevice(Sim.OpenPty());
        } else {
            Converter.SetDevice("TCP/IP");
            Converter.SetHost("127.0.0.1");
            Converter.SetPort(std::to_string(Sim.ListenTcp(0)));
        }
        Sim.Start();
        if (!Converter.Open())
            throw std::runtime_error("the link did not open");
    }
    ~Linked() { Converter.Close(); }

    sim::GatewaySim Sim;
    ProgressRecorder Shown;
    TEibConverter Converter{&Shown.label, &Shown.gauge};
};

class ConversationTest : public ::testing::TestWithParam<Transport> {};

} // namespace

TEST(EibConverter, ConstructionShowsReadyAndHoldsTheDefaults) {
    ProgressRecorder shown;
    TEibConverter converter(&shown.label, &shown.gauge);
    EXPECT_EQ(shown.Range(), std::make_pair(0, 1));
    EXPECT_EQ(shown.Steps(), (std::vector<ShownStep>{{"Ready...", 0}}));
    EXPECT_EQ(shown.LabelRepaints(), 1);
    EXPECT_EQ(converter.PhysicalAddress, 0xFFFF);
    EXPECT_EQ(converter.GetPhysicalAddress(), "15.15.255");
    EXPECT_EQ(converter.Groups.MaxCount, 32768);
    EXPECT_EQ(converter.Groups.Count(), 0);
    EXPECT_EQ(converter.LastError, "");
    EXPECT_EQ(converter.Device(), "COM1");
    EXPECT_EQ(converter.Timeout, 1000);
}

TEST(EibConverter, PhysicalAddressChangesOnlyOnSuccess) {
    TEibConverter converter(nullptr, nullptr);
    converter.SetPhysicalAddress("1.1.1.1");
    EXPECT_EQ(converter.PhysicalAddress, 0x1101);
    for (const char* bad : {"16.0.0", "1/1/1", "", "1.2"}) {
        try {
            converter.SetPhysicalAddress(bad);
            ADD_FAILURE() << bad;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(),
                      "Invalid physical address!\nFromat has to be \"<0...15>.<0...15>.<0...255>\"!");
        }
        EXPECT_EQ(converter.PhysicalAddress, 0x1101);
    }
}

TEST_P(ConversationTest, TwoLinesAreErasedLoadedAndShown) {
    Linked l(GetParam());
    const std::vector<std::string> lines{SetupLine, GroupLine1};
    EXPECT_EQ(DownloadMessage(l.Converter, lines), "");
    EXPECT_EQ(l.Sim.Received(), (std::vector<std::string>{"#CG", "#CF", SetupLine, GroupLine1}));
    EXPECT_EQ(l.Sim.Configuration(), lines);
    EXPECT_EQ(l.Shown.Range(), std::make_pair(0, 3));
    EXPECT_EQ(l.Shown.Steps(), (std::vector<ShownStep>{{"Ready...", 0},
                                                       {"Erasing old configuration...", 0},
                                                       {"Loading new configuration...", 1},
                                                       {"Loading new configuration...", 2},
                                                       {"Loading new configuration...", 3},
                                                       {"Configuration loaded successfully!", 3}}));
    EXPECT_EQ(l.Converter.Timeout, GetParam() == Transport::Tcp ? 5000 : 1000);
}

TEST_P(ConversationTest, RefusedLineStopsTheDownloadAndNamesTheLine) {
    sim::SimOptions options;
    options.RefuseLine = 2;
    options.RefuseText = "ERR";
    Linked l(GetParam(), options);
    EXPECT_EQ(DownloadMessage(l.Converter, {SetupLine, GroupLine1, GroupLine2}), DownloadError("ERR", 2));
    EXPECT_EQ(l.Converter.LastError, "ERR");
    EXPECT_EQ(l.Sim.Received(), (std::vector<std::string>{"#CG", "#CF", SetupLine, GroupLine1}));
    EXPECT_EQ(l.Sim.Configuration(), (std::vector<std::string>{SetupLine}));
    EXPECT_EQ(l.Shown.Range(), std::make_pair(0, 4));
    EXPECT_EQ(l.Shown.Steps().back(), (ShownStep{"Failed to load new configuration!", 2}));
}

INSTANTIATE_TEST_SUITE_P(Link, ConversationTest, ::testing::Values(Transport::Pty, Transport::Tcp),
                         [](const auto& info) { return info.param == Transport::Pty ? "Pty" : "Tcp"; });

TEST(EibConverterDownload, ThreeLinesStepThroughEveryPosition) {
    Linked l(Transport::Pty);
    EXPECT_EQ(DownloadMessage(l.Converter, {SetupLine, GroupLine1, GroupLine2}), "");
    std::vector<int> positions;
    for (const auto& step : l.Shown.Steps())
        positions.push_back(step.Position);
    EXPECT_EQ(positions, (std::vector<int>{0, 0, 1, 2, 3, 4, 4}));
    EXPECT_EQ(l.Shown.Range(), std::make_pair(0, 4));
    EXPECT_EQ(l.Shown.Text(), "Configuration loaded successfully!");
}

TEST(EibConverterDownload, EmptyListStillErases) {
    Linked l(Transport::Pty);
    l.Shown.ClearSteps();
    EXPECT_EQ(DownloadMessage(l.Converter, {}), "");
    EXPECT_EQ(l.Sim.Received(), (std::vector<std::string>{"#CG", "#CF"}));
    EXPECT_EQ(l.Shown.Range(), std::make_pair(0, 1));
    EXPECT_EQ(l.Shown.Steps(), (std::vector<ShownStep>{{"Erasing old configuration...", 0},
                                                       {"Loading new configuration...", 1},
                                                       {"Configuration loaded successfully!", 1}}));
}

TEST(EibConverterDownload, RefusedFirstLineNamesLineOne) {
    sim::SimOptions options;
    options.RefuseLine = 1;
    options.RefuseText = "Bad setup";
    Linked l(Transport::Pty, options);
    EXPECT_EQ(DownloadMessage(l.Converter, {SetupLine, GroupLine1}), DownloadError("Bad setup", 1));
    EXPECT_EQ(l.Shown.Position(), 1);
    EXPECT_EQ(l.Shown.Text(), "Failed to load new configuration!");
}

TEST(EibConverterDownload, LongAnswerIsCutTo99Bytes) {
    sim::SimOptions options;
    options.RefuseLine = 1;
    options.RefuseText = std::string(60, 'a') + std::string(90, 'b');
    Linked l(Transport::Pty, options);
    const std::string first99 = std::string(60, 'a') + std::string(39, 'b');
    EXPECT_EQ(DownloadMessage(l.Converter, {SetupLine}), DownloadError(first99, 1));
    EXPECT_EQ(l.Converter.LastError, first99);
    EXPECT_EQ(std::string(l.Converter.AnswerBuffer.data()), first99);
}

TEST(EibConverterDownload, AnswerIsJudgedUpToItsNulByte) {
    sim::SimOptions options;
    options.RefuseLine = 1;
    options.RefuseText = std::string("E\0rr", 4);
    Linked l(Transport::Pty, options);
    EXPECT_EQ(DownloadMessage(l.Converter, {SetupLine}), DownloadError("E", 1));
    EXPECT_EQ(l.Converter.LastError, "E");
}

TEST(EibConverterDownload, CrLfGatewayPassesTheFirstAnswerOnly) {
    sim::SimOptions options;
    options.CrLf = true;
    Linked l(Transport::Pty, options);
    EXPECT_EQ(DownloadMessage(l.Converter, {SetupLine}), EraseError("\\x0aOk"));
    EXPECT_EQ(l.Sim.Received(), (std::vector<std::string>{"#CG", "#CF"}));
    EXPECT_EQ(l.Shown.Steps().back(), (ShownStep{"Erasing old configuration...", 0}));
    EXPECT_EQ(l.Converter.Timeout, 1000);
}

TEST(EibConverterDownload, SilentGatewayFailsTheLine_WaitsForTimeout) {
    const zelo::test::Watchdog watchdog(60);
    sim::SimOptions options;
    options.SilentAfter = 2; // answers the erase, then nothing
    Linked l(Transport::Pty, options);
    l.Converter.Timeout = 80;
    EXPECT_EQ(DownloadMessage(l.Converter, {SetupLine, GroupLine1}), DownloadError("No answer received", 1));
    EXPECT_EQ(l.Sim.Received(), (std::vector<std::string>{"#CG", "#CF", SetupLine}));
}

TEST(EibConverterDownload, SlowEraseIsAcceptedThenLinesUseTheLinkTimeout_WaitsForTimeout) {
    const zelo::test::Watchdog watchdog(60);
    sim::SimOptions options;
    options.DelayMs = 1500; // beyond the line's 1000 ms, well within the erase's 10000 ms
    Linked l(Transport::Pty, options);
    ASSERT_EQ(l.Converter.Timeout, 1000);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(DownloadMessage(l.Converter, {SetupLine}), DownloadError("No answer received", 1));
    EXPECT_GE(MsSince(start), 2 * 1500 + 1000);
    EXPECT_EQ(l.Sim.Received(), (std::vector<std::string>{"#CG", "#CF", SetupLine}));
    EXPECT_EQ(l.Converter.Timeout, 1000);
    EXPECT_EQ(l.Shown.Position(), 1);
}

// A stop request (a Stop button, a termination signal) ends a download between two exchanges, never within
// one: the answer awaited when it comes is still read.
TEST(EibConverterDownload, StopRequestEndsTheDownloadAfterTheAnswerAwaited) {
    const std::string line3 = "#DG3/0/0=BIT;W";
    const struct {
        const char* name;
        int stopAtCommand; // requested once this command (1: "#CG") has been sent; 0: before the download
        int refuseLine;
        std::string message;
        std::vector<std::string> received;
        std::vector<std::string> configuration;
        ShownStep last;
    } cases[] = {
        {"before the erase",
         0,
         0,
         "Download interrupted before the erase: the gateway's configuration is unchanged.",
         {},
         {},
         {"Ready...", 0}},
        {"during the erase",
         1,
         0,
         "Download interrupted after the erase: the gateway holds no configuration.",
         {"#CG", "#CF"},
         {},
         {"Download interrupted!", 1}},
        {"at line 2",
         4,
         0,
         "Download interrupted after line 2: the gateway holds a partial configuration.",
         {"#CG", "#CF", SetupLine, GroupLine1},
         {SetupLine, GroupLine1},
         {"Download interrupted!", 3}},
        {"at the last line",
         5,
         0,
         "",
         {"#CG", "#CF", SetupLine, GroupLine1, line3},
         {SetupLine, GroupLine1, line3},
         {"Configuration loaded successfully!", 4}},
        {"at a line the gateway refuses",
         4,
         2,
         DownloadError("ERR", 2),
         {"#CG", "#CF", SetupLine, GroupLine1},
         {SetupLine},
         {"Failed to load new configuration!", 2}},
    };
    for (const auto& c : cases) {
        sim::SimOptions options;
        options.RefuseLine = c.refuseLine;
        options.RefuseText = "ERR";
        Linked l(Transport::Pty, options);
        int sent = 0;
        l.Converter.Trace = [&](TraceDirection direction, std::string_view) {
            if (direction == TraceDirection::Sent && ++sent == c.stopAtCommand)
                l.Converter.RequestStop();
        };
        if (c.stopAtCommand == 0)
            l.Converter.RequestStop();
        std::string message;
        int linesLoaded = -2;
        try {
            l.Converter.Download({SetupLine, GroupLine1, line3});
        } catch (const DownloadInterrupted& e) {
            message = e.Message();
            linesLoaded = e.LinesLoaded();
        } catch (const Exception& e) {
            message = e.Message();
        }
        EXPECT_EQ(message, c.message) << c.name;
        if (c.message.starts_with("Download interrupted after line 2")) {
            EXPECT_EQ(linesLoaded, 2) << c.name;
        }
        EXPECT_EQ(l.Sim.Received(), c.received) << c.name;
        EXPECT_EQ(l.Sim.Configuration(), c.configuration) << c.name;
        EXPECT_EQ(l.Shown.Steps().back(), c.last) << c.name;
        // A request belongs to one download: the next one runs to its end.
        EXPECT_FALSE(l.Converter.StopRequested()) << c.name;
        l.Converter.Trace = nullptr;
        if (c.refuseLine == 0) {
            EXPECT_EQ(DownloadMessage(l.Converter, {SetupLine}), "") << c.name;
            EXPECT_EQ(l.Sim.Configuration(), (std::vector<std::string>{SetupLine})) << c.name;
        }
    }
}

TEST(EibConverterDownload, LinkThatIsNotOpenFailsTheEraseAtOnce) {
    ProgressRecorder shown;
    TEibConverter converter(&shown.label, &shown.gauge);
    converter.SetDevice("/nonexistent/tty");
    EXPECT_EQ(DownloadMessage(converter, {SetupLine}), EraseError("No answer received"));
    EXPECT_EQ(converter.Timeout, 1000);
    EXPECT_EQ(shown.Steps().back(), (ShownStep{"Erasing old configuration...", 0}));
}

TEST(EibConverterDownload, LineWithoutSingleByteFormStopsBeforeTheErase) {
    Linked l(Transport::Pty);
    l.Shown.ClearSteps();
    EXPECT_EQ(DownloadMessage(l.Converter, {SetupLine, "#DG1/1/1=BIT;RW", "caf\xc3\xa9 \xe2\x82\xac"}),
              "Line 3 of configuration list holds a character that the gateway cannot take!\n"
              "Only characters of the Latin-1 character set can be sent.");
    EXPECT_EQ(DownloadMessage(l.Converter, {SetupLine, "broken \xc3"}),
              "Line 2 of configuration list holds a character that the gateway cannot take!\n"
              "Only characters of the Latin-1 character set can be sent.");
    EXPECT_EQ(DownloadMessage(l.Converter, {SetupLine, std::string("#DG1/1/1=BIT;RW\0x", 17)}),
              "Line 2: zero byte");
    EXPECT_TRUE(l.Sim.Received().empty());
    EXPECT_TRUE(l.Shown.Steps().empty());
}

TEST(EibConverterBytes, CommandsGoOutAsLatin1FramesWithCarriageReturns) {
    RawPty pty;
    TEibConverter converter(nullptr, nullptr);
    converter.SetDevice(pty.SlavePath());
    ASSERT_TRUE(converter.Open());
    pty.Write("Ok\rOk\rOk\rOk\rOk\rOk\r"); // answers wait in the queue until they are read
    converter.Download({SetupLine, "", "caf\xc3\xa9"});
    EXPECT_EQ(pty.ReadAvailable(), "#CG\r#CF\r" + SetupLine + "\r\rcaf\xe9\r");
    converter.Reset();
    EXPECT_EQ(pty.ReadAvailable(), "#RESET\r");
    EXPECT_TRUE(converter.ReadAnswer()); // Reset read no answer: the last one is still there
}

TEST(EibConverterBytes, ReadAnswerJudgesTheBytesBeforeTheLastOne) {
    struct Case {
        std::string Sent;
        bool Good;
        std::string LastError;
    };
    const std::vector<Case> cases{
        {"Ok\r", true, ""},
        {"ok\r", false, "ok"},
        {"OK\r", false, "OK"},
        {" Ok\r", false, " Ok"},
        {"Ok.\r", false, "Ok."},
        {"\r", false, ""},
        {std::string("Ok\0x\r", 5), true, ""},
        {"Erreur \xe9\r", false, "Erreur \xc3\xa9"}, // the gateway's 8-bit text becomes UTF-8
    };
    RawPty pty;
    TEibConverter converter(nullptr, nullptr);
    converter.SetDevice(pty.SlavePath());
    ASSERT_TRUE(converter.Open());
    for (const auto& c : cases) {
        pty.Write(c.Sent);
        EXPECT_EQ(converter.ReadAnswer(), c.Good) << c.Sent;
        EXPECT_EQ(converter.LastError, c.LastError) << c.Sent;
    }
}

TEST(EibConverterBytes, AnswerWithoutCarriageReturnLosesItsLastLetter_WaitsForTimeout) {
    const zelo::test::Watchdog watchdog(60);
    RawPty pty;
    TEibConverter converter(nullptr, nullptr);
    converter.SetDevice(pty.SlavePath());
    ASSERT_TRUE(converter.Open());
    converter.Timeout = 60;
    pty.Write("Ok\rOk\rOk");
    EXPECT_EQ(DownloadMessage(converter, {SetupLine}), DownloadError("O", 1));
    EXPECT_EQ(converter.LastError, "O");
}

TEST(EibConverterAssign, CopiesAddressAppendsRangesAndCopiesTheLink) {
    TEibConverter source(nullptr, nullptr);
    source.SetPhysicalAddress("1.2.3");
    for (int i = 0; i < 2; ++i) {
        TEibGroup& g = source.Groups.Add();
        g.StartAddress = static_cast<std::uint16_t>(100 + i);
        g.EndAddress = static_cast<std::uint16_t>(110 + i);
        g.DatapointType = static_cast<std::int8_t>(i + 1);
    }
    source.SetDevice("TCP/IP");
    source.SetBaudrate(9600);

    TEibConverter target(nullptr, nullptr);
    target.Groups.Add().StartAddress = 7;
    target.Assign(source);
    EXPECT_EQ(target.PhysicalAddress, 0x1203);
    ASSERT_EQ(target.Groups.Count(), 3);
    EXPECT_EQ(target.Groups.Items(0).StartAddress, 7);
    EXPECT_EQ(target.Groups.Items(1).StartAddress, 100);
    EXPECT_EQ(target.Groups.Items(2).EndAddress, 111);
    EXPECT_EQ(target.Groups.Items(2).DatapointType, 2);
    EXPECT_EQ(target.Device(), "TCP/IP");
    EXPECT_EQ(target.Timeout, 5000);
    EXPECT_EQ(target.Baudrate(), 9600);

    target.Assign(target); // its own ranges, counted once
    EXPECT_EQ(target.Groups.Count(), 6);

    TSerialPort plainLink;
    plainLink.SetDevice("COM4");
    target.Assign(plainLink); // a plain link gives only its settings
    EXPECT_EQ(target.Device(), "COM4");
    EXPECT_EQ(target.PhysicalAddress, 0x1203);
    EXPECT_EQ(target.Groups.Count(), 6);
}

TEST(EibConverterAssign, OpenTargetTakesAddressAndRangesButKeepsItsLink) {
    RawPty pty;
    TEibConverter source(nullptr, nullptr);
    source.SetPhysicalAddress("3.3.3");
    source.Groups.Add();
    source.SetBaudrate(9600);
    TEibConverter target(nullptr, nullptr);
    target.SetDevice(pty.SlavePath());
    ASSERT_TRUE(target.Open());
    target.Assign(source);
    EXPECT_EQ(target.GetPhysicalAddress(), "3.3.3");
    EXPECT_EQ(target.Groups.Count(), 1);
    EXPECT_EQ(target.Baudrate(), 19200);
    EXPECT_EQ(target.Device(), pty.SlavePath());
}

TEST(EibConverter, WorksWithoutLabelAndGauge) {
    sim::GatewaySim gateway;
    TEibConverter converter(nullptr, nullptr);
    converter.SetDevice(gateway.OpenPty());
    gateway.Start();
    ASSERT_TRUE(converter.Open());
    converter.Download({SetupLine, GroupLine1});
    EXPECT_EQ(gateway.Configuration(), (std::vector<std::string>{SetupLine, GroupLine1}));
    // The destructor closes the link; the converter going first must not disturb the simulator.
}
