// Downloads through the Download button into the gateway simulator on a pseudo-terminal.
#include "FakeWindow.h"
#include "Process.h"
#include "Watchdog.h"
#include "sim/GatewaySim.h"

#include <filesystem>
#include <regex>

#include <gtest/gtest.h>

using namespace zelo;
using namespace zelo::test;

namespace {

sim::SimOptions Options(int refuseLine, const std::string& refuseText, int silentAfter = -1,
                        bool crLf = false) {
    sim::SimOptions options;
    options.RefuseLine = refuseLine;
    options.RefuseText = refuseText;
    options.SilentAfter = silentAfter;
    options.CrLf = crLf;
    return options;
}

std::string Settings(const std::string& device) {
    return "[SerialPort]\r\nDevice=" + device + "\r\nBaudrate=19200\r\n";
}

// The simulator running on a pseudo-terminal, and a window whose link is set to it.
struct Gateway {
    explicit Gateway(const sim::SimOptions& options = {}) : Sim(options), Pty(Sim.OpenPty()) {}
    sim::GatewaySim Sim;
    std::string Pty;
    bool Started = (Sim.Start(), true);
    FakeWindow Window{Settings(Pty)};
};

// What the gateway holds before a test's own download: loaded through the window.
const Lines OldConfiguration = {"#SETUP=1.1.1;OFF;OFF;OFF", "#DG9/7/9=BIT;RW"};

void LoadOldConfiguration(FakeWindow& w, const sim::GatewaySim& gateway) {
    w.EditCommandList("#SETUP=1.1.1;OFF;OFF;OFF\n#DG9/7/9=BIT;RW\n");
    w.Click(w.btnDownload);
    ASSERT_EQ(gateway.Configuration(), OldConfiguration);
    w.Frames.clear();
}

void ExpectIdle(FakeWindow& w) {
    EXPECT_FALSE(w.Logic().Converter->IsOpen());
    EXPECT_FALSE(w.Logic().Download().Running());
    EXPECT_FALSE(w.winMain.WaitCursor);
    for (const IControl* area : std::initializer_list<const IControl*>{
             &w.DeviceSetupContainer, &w.GroupAddressContainer, &w.CommandList, &w.ButtonContainer})
        EXPECT_TRUE(area->Enabled());
    // Each control has its own state back: the import's buttons stay disabled.
    EXPECT_FALSE(w.Usable(layout::ControlId::btnIgnore));
    EXPECT_TRUE(w.Usable(layout::ControlId::btnAdd));
}

TEST(Download, IntoTheSimulator) {
    Gateway g;
    auto& [gateway, pty, started, w] = g;
    EXPECT_EQ(w.cmbDevice.Current(), pty);
    w.AddRange("1/0/0", "1/0/10", 11);
    w.AddRange("2/1/0", "2/1/0", 1);
    // A physical address typed but not left: the click on Download moves the focus and rebuilds the setup
    // line.
    w.MoveFocus(layout::ControlId::txtPhyAdr);
    w.txtPhyAdr.Value = "1.1.250";
    w.Click(w.btnDownload);

    const Lines sent = {"#SETUP=1.1.250;OFF;OFF;OFF", "#DG1/0/0-1/0/10=VALUE;RW", "#DG2/1/0=BIT;RW"};
    EXPECT_TRUE(w.Boxes.Boxes.empty());
    EXPECT_EQ(gateway.Configuration(), sent);
    EXPECT_EQ(w.labStatus.Value, "Configuration loaded successfully!");
    EXPECT_EQ(w.ProgressBar.Maximum, 4);
    EXPECT_EQ(w.ProgressBar.Position, 4);
    ExpectIdle(w);

    // The label and gauge moved line by line while the areas were locked, the hourglass and Stop showed;
    // first they were reset, so nothing of an earlier run stays on show.
    std::vector<std::pair<std::string, int>> steps;
    for (const Frame& frame : w.Frames) {
        EXPECT_FALSE(frame.AreasEnabled);
        EXPECT_TRUE(frame.WaitCursor);
        EXPECT_TRUE(frame.StopShown);
        // Keys meet Stop, never a control inside a disabled area.
        EXPECT_EQ(frame.Focus, layout::ControlId::btnStop);
        EXPECT_TRUE(frame.FocusUsable);
        EXPECT_EQ(frame.Maximum, &frame == &w.Frames.front() ? 1 : 4);
        if (steps.empty() || steps.back() != std::make_pair(frame.Status, frame.Position))
            steps.emplace_back(frame.Status, frame.Position);
    }
    const std::vector<std::pair<std::string, int>> expected = {{"Ready...", 0},
                                                               {"Erasing old configuration...", 0},
                                                               {"Loading new configuration...", 1},
                                                               {"Loading new configuration...", 2},
                                                               {"Loading new configuration...", 3},
                                                               {"Loading new configuration...", 4},
                                                               {"Configuration loaded successfully!", 4}};
    EXPECT_EQ(steps, expected);
    // Once it has ended the focus is back on Download.
    EXPECT_EQ(w.Focused, layout::ControlId::btnDownload);

    // A second download opens and closes the link again.
    w.Frames.clear();
    w.Click(w.btnDownload);
    EXPECT_TRUE(w.Boxes.Boxes.empty());
    EXPECT_EQ(gateway.Configuration(), sent);
    EXPECT_FALSE(w.Frames.empty());
    ExpectIdle(w);
}

TEST(Download, GatewayRefusals) {
    const struct {
        sim::SimOptions Options;
        std::string Message;
        std::string Status;
        int Position;
        int Selected; // the line shown to the user
    } cases[] = {
        {Options(2, "ERR"),
         "Error \"ERR\" occured while configuring device!\nPlease check line 2 of configuration list!",
         "Failed to load new configuration!", 2, 1},
        {Options(1, "Bad setup"),
         "Error \"Bad setup\" occured while configuring device!\nPlease check line 1 of configuration list!",
         "Failed to load new configuration!", 1, 0},
        {Options(0, {}, -1, true), "Error \"\\x0aOk\" occured while erasing old configuration!",
         "Erasing old configuration...", 0, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Message);
        Gateway g(c.Options);
        auto& [gateway, pty, started, w] = g;
        w.AddRange("1/0/0", "1/0/0", 1);
        w.Click(w.btnDownload);
        ASSERT_EQ(w.Boxes.Boxes.size(), 1u);
        ExpectBox(w.Boxes.Boxes[0], c.Message, w.winMain.Value, 16);
        EXPECT_EQ(w.labStatus.Value, c.Status);
        EXPECT_EQ(w.ProgressBar.Position, c.Position);
        EXPECT_EQ(w.CommandList.SelectedLine, c.Selected);
        if (c.Selected >= 0) {
            EXPECT_EQ(w.Focused, layout::ControlId::CommandList);
        }
        ExpectIdle(w);
    }
}

TEST(Download, SilentGateway_WaitsForTimeout) {
    const zelo::test::Watchdog watchdog(60);
    Gateway g(Options(0, {}, 3));
    auto& [gateway, pty, started, w] = g;
    w.AddRange("1/0/0", "1/0/0", 1);
    w.Logic().Converter->Timeout = 150; // the line answer's wait, kept short
    w.Click(w.btnDownload);
    // While it waited the window kept handling its events.
    EXPECT_GT(w.winMain.EventRounds, 0);
    ASSERT_EQ(w.Boxes.Boxes.size(), 1u);
    EXPECT_EQ(w.Boxes.Boxes[0].Text, "Error \"No answer received\" occured while configuring device!\nPlease "
                                     "check line 2 of configuration list!");
    EXPECT_EQ(w.Boxes.Boxes[0].Flags, 16);
    EXPECT_EQ(gateway.Received(), (Lines{"#CG", "#CF", "#SETUP=15.15.255;OFF;OFF;OFF", "#DG1/0/0=BIT;RW"}));
    ExpectIdle(w);
}

TEST(Download, PortThatCannotBeOpened) {
    const struct {
        std::string Device;
        std::string Message;
        std::string Detail;
    } cases[] = {
        {"/nonexistent/ttyZELO", "Can't open /nonexistent/ttyZELO!", "No such file or directory"},
        {"", "Can't open !", ""},
        {"NOPORT", "Can't open NOPORT!", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Device);
        FakeWindow w(Settings(c.Device));
        // What an earlier run left: a failure before the erase must not show it.
        w.labStatus.Value = "Configuration loaded successfully!";
        w.ProgressBar.Position = w.ProgressBar.Maximum = 5;
        w.Click(w.btnDownload);
        ASSERT_EQ(w.Boxes.Boxes.size(), 1u);
        ExpectBox(w.Boxes.Boxes[0], c.Message, w.winMain.Value, 16);
        EXPECT_EQ(w.Boxes.Boxes[0].Detail, c.Detail);
        EXPECT_EQ(w.labStatus.Value, "Ready...");
        EXPECT_EQ(w.ProgressBar.Position, 0);
        EXPECT_EQ(w.ProgressBar.Maximum, 1);
        ExpectIdle(w);
    }
}

TEST(Download, DeviceAndBaudrateChoicesSetTheLink) {
    sim::GatewaySim first;
    sim::GatewaySim second;
    FakeWindow w;
    // Each pty gets a link name in the folder, reported as a device of the system: the list shows them once
    // it is opened again.
    const std::string firstLink = w.Dir.File("gw1");
    const std::string secondLink = w.Dir.File("gw2");
    first.OpenPty(firstLink);
    second.OpenPty(secondLink);
    first.Start();
    second.Start();
    w.Ports = {{firstLink, "", firstLink}, {secondLink, "Gateway Two", secondLink}};
    w.OpenDeviceList();
    w.Choose(w.cmbDevice, firstLink + " (serial port)");
    EXPECT_EQ(w.Logic().Converter->Device(), firstLink);
    w.Click(w.btnDownload);
    EXPECT_EQ(first.Configuration().size(), 1u);
    w.Choose(w.cmbDevice, secondLink + " (Gateway Two)");
    EXPECT_EQ(w.Logic().Converter->Device(), secondLink);
    w.Choose(w.cmbBaudrate, "57600");
    EXPECT_EQ(w.Logic().Converter->Baudrate(), 57600);
    w.Click(w.btnDownload);
    EXPECT_TRUE(w.Boxes.Boxes.empty());
    EXPECT_EQ(second.Configuration().size(), 1u);
    EXPECT_EQ(first.Received().size(), 3u);
    // A name typed by hand is taken when the field is left (here by the click on Download), without the
    // blanks around it; a field left empty shows the device again.
    sim::GatewaySim third;
    const std::string thirdLink = w.Dir.File("typed gw3");
    third.OpenPty(thirdLink);
    third.Start();
    w.Enter(w.cmbDevice, "  ");
    EXPECT_EQ(w.Logic().Converter->Device(), secondLink);
    EXPECT_EQ(w.cmbDevice.Text(), secondLink + " (Gateway Two)");
    w.MoveFocus(layout::ControlId::cmbDevice);
    w.cmbDevice.Shown = " " + thirdLink + "\t";
    w.Click(w.btnDownload);
    EXPECT_TRUE(w.Boxes.Boxes.empty());
    EXPECT_EQ(third.Configuration().size(), 1u);
    EXPECT_EQ(second.Received().size(), 3u);
    // The name alone is kept, never a description.
    EXPECT_NE(w.Close().find("Device=" + thirdLink + "\r\n"), std::string::npos);
}

// The close box during a download: the request waits until the download has ended, then the window goes;
// with unsaved changes it asks first, as the close box always does. A termination request is held too, and
// since it cannot ask, the unsaved list goes to the recovery file (and no box may wait for an answer).
TEST(Download, CloseRequestIsHeldUntilTheEnd) {
    const struct {
        const char* Case;
        bool Edited;
        bool Terminate; // a termination request instead of the close box
        std::deque<int> Answers;
        bool Closed;
    } cases[] = {
        {"nothing unsaved", false, false, {}, true},
        {"unsaved, not to be saved", true, false, {box::IdNo}, true},
        {"unsaved, cancelled", true, false, {box::IdCancel}, false},
        {"unsaved, terminated", true, true, {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        Gateway g;
        auto& [gateway, pty, started, w] = g;
        if (c.Edited)
            w.Click(w.chkPrintHex);
        const std::string setup = w.Lines()[0];
        bool closedAtOnce = true;
        w.Boxes.Answers = c.Answers;
        w.OnFirstFrame = [&w, &closedAtOnce, &c] {
            if (c.Terminate) {
                w.Terminate();
                closedAtOnce = w.winMain.Terminated;
            } else {
                closedAtOnce = w.CloseBox();
            }
        };
        w.Click(w.btnDownload);
        EXPECT_FALSE(closedAtOnce);
        EXPECT_EQ(gateway.Configuration(), Lines{setup});
        ASSERT_GT(w.Frames.size(), 1u);
        // A close held says so at once and until the end; then the outcome shows.
        EXPECT_EQ(w.Frames.back().Status, c.Terminate ? "Configuration loaded successfully!" : ClosingStatus);
        EXPECT_EQ(w.labStatus.Value, "Configuration loaded successfully!");
        EXPECT_EQ(c.Terminate ? w.winMain.Terminated : w.winMain.Closed, c.Closed);
        EXPECT_EQ(w.Boxes.Ended, c.Terminate);
        if (c.Terminate) {
            EXPECT_EQ(ReadBytes(RecoveryFileName(w.SettingsPath)), setup + "\n");
        }
        // The question came after the download, never in the middle of it.
        EXPECT_EQ(w.Boxes.Boxes.size(), c.Answers.size());
        EXPECT_TRUE(w.Boxes.Answers.empty());
        ExpectIdle(w);
    }
}

// Lines the gateway will refuse are found before anything is sent: the question lists them, No sends
// nothing and shows the first; Yes downloads all the same.
TEST(Download, CheckedBeforeTheErase) {
    std::string many = "#SETUP=15.15.255;OFF;OFF;OFF\n";
    for (int i = 0; i < 25; ++i)
        many += "bad " + std::to_string(i) + "\n";
    std::string listed;
    for (int i = 0; i < 20; ++i)
        listed += "\nline " + std::to_string(i + 2) +
                  ": neither a setup line (#SETUP=...) nor a group line (#DG...)";
    const struct {
        const char* Case;
        std::string List;
        int Answer;
        std::string Question;
        int Selected;
        Lines Configuration; // what the gateway holds afterwards
    } cases[] = {
        {"three lines, one malformed, No", "#SETUP=15.15.255;OFF;OFF;OFF\n#DG1/2/3=BT;RW\n#DG1/2/4=BIT;RW\n",
         box::IdNo,
         "1 line will be refused by the gateway. Download anyway?\n\nline 2: unknown datapoint type \"BT\" "
         "(expected one of EMPTY, BIT, CHAR, UBYTE, UWORD, UDWORD, BYTE, WORD, DWORD, TIME, DATE, VALUE, "
         "PERCENT, "
         "ANGLE, FLOAT, STRING, GENERIC)",
         1, OldConfiguration},
        {"one extra Return at the end, No", "#SETUP=15.15.255;OFF;OFF;OFF\n#DG1/2/4=BIT;RW\n\n", box::IdNo,
         "1 line will be refused by the gateway. Download anyway?\n\nline 3: empty line", 2,
         OldConfiguration},
        {"twenty-five bad lines, No", many, box::IdNo,
         "25 lines will be refused by the gateway. Download anyway?\n" + listed + "\n... and 5 more", 1,
         OldConfiguration},
        {"a blank line, Yes",
         "#SETUP=15.15.255;OFF;OFF;OFF\n\n#DG1/2/4=BIT;RW\n",
         box::IdYes,
         "1 line will be refused by the gateway. Download anyway?\n\nline 2: empty line",
         1,
         {"#SETUP=15.15.255;OFF;OFF;OFF"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        Gateway g;
        auto& [gateway, pty, started, w] = g;
        LoadOldConfiguration(w, gateway);
        const std::size_t received = gateway.Received().size();
        w.EditCommandList(c.List);
        w.Boxes.Answers = {c.Answer};
        w.Click(w.btnDownload);
        ASSERT_GE(w.Boxes.Boxes.size(), 1u);
        EXPECT_EQ(w.Boxes.Boxes[0].Text, c.Question);
        EXPECT_EQ(w.Boxes.Boxes[0].Flags & 0xFF, box::YesNo | box::IconWarning);
        // Yes erases the gateway: Return answers No.
        EXPECT_EQ(w.Boxes.Boxes[0].Default, box::IdNo);
        if (c.Answer == box::IdNo) {
            // Not a byte sent: the gateway keeps what it held, and the last run's outcome is off the screen.
            EXPECT_EQ(gateway.Received().size(), received);
            EXPECT_EQ(w.labStatus.Value, "");
            EXPECT_EQ(w.ProgressBar.Position, 0);
            EXPECT_EQ(w.Boxes.Boxes.size(), 1u);
            EXPECT_EQ(w.CommandList.SelectedLine, c.Selected);
            EXPECT_EQ(w.Focused, layout::ControlId::CommandList);
        } else {
            // The gateway refuses the line itself then, and that line is shown.
            ASSERT_EQ(w.Boxes.Boxes.size(), 2u);
            EXPECT_EQ(w.CommandList.SelectedLine, c.Selected);
        }
        EXPECT_EQ(gateway.Configuration(), c.Configuration);
        ExpectIdle(w);
    }
}

// Stop, shown only while a download runs, ends it after the answer the link waits for; the status says
// what the gateway holds then.
TEST(Download, StopEndsItAfterTheCurrentAnswer) {
    const struct {
        const char* Case;
        std::string StopAt; // the status shown when Stop is clicked
        int Position;
        std::string Status;
        Lines Received;
        Lines Configuration;
    } cases[] = {
        {"before the erase",
         "Ready...",
         0,
         "Download stopped before the erase: the gateway's configuration is unchanged.",
         {},
         OldConfiguration},
        {"during the erase",
         "Erasing old configuration...",
         0,
         "Download stopped after the erase: the gateway holds no configuration.",
         {"#CG", "#CF"},
         {}},
        {"after line 2",
         "Loading new configuration...",
         2,
         "Download stopped after line 2: the gateway holds a partial configuration.",
         {"#CG", "#CF", "#SETUP=15.15.255;OFF;OFF;OFF", "#DG1/0/0=BIT;RW"},
         {"#SETUP=15.15.255;OFF;OFF;OFF", "#DG1/0/0=BIT;RW"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        Gateway g;
        auto& [gateway, pty, started, w] = g;
        LoadOldConfiguration(w, gateway);
        const std::size_t received = gateway.Received().size();
        w.EditCommandList("#SETUP=15.15.255;OFF;OFF;OFF\n");
        for (const char* start : {"1/0/0", "1/0/1", "1/0/2"})
            w.AddRange(start, start, 1);
        bool clicked = false;
        w.OnEachFrame = [&](const Frame& frame) {
            if (!clicked && frame.Status == c.StopAt && frame.Position == c.Position) {
                clicked = true;
                EXPECT_TRUE(w.Usable(layout::ControlId::btnStop));
                // Escape stops as the button does; a second press changes nothing, and Stop keeps the focus.
                w.Escape();
                w.Click(w.btnStop);
                EXPECT_EQ(w.Focused, layout::ControlId::btnStop);
            }
        };
        EXPECT_FALSE(w.Usable(layout::ControlId::btnStop));
        w.Click(w.btnDownload);
        EXPECT_TRUE(clicked);
        EXPECT_EQ(w.labStatus.Value, c.Status);
        const Lines all = gateway.Received();
        EXPECT_EQ(Lines(all.begin() + static_cast<std::ptrdiff_t>(received), all.end()), c.Received);
        EXPECT_EQ(gateway.Configuration(), c.Configuration);
        EXPECT_TRUE(w.Boxes.Boxes.empty());
        EXPECT_FALSE(w.btnStop.Visible());
        EXPECT_EQ(w.Focused, layout::ControlId::btnDownload);
        ExpectIdle(w);
        // Escape while nothing runs does nothing. The next download runs whole.
        w.Escape();
        w.OnEachFrame = nullptr;
        w.Click(w.btnDownload);
        EXPECT_EQ(w.labStatus.Value, "Configuration loaded successfully!");
        EXPECT_EQ(gateway.Configuration().size(), 4u);
    }
}

// A list saved from the window is one zeloctl takes: check passes it and download loads it.
TEST(Download, SavedListIsTakenByZeloctl) {
    FakeWindow w;
    w.Enter(w.txtPhyAdr, "1.1.250");
    w.AddRange("1/0/0", "1/0/10", 11);
    w.AddRange("2/1/0", "2/1/0", 1);
    const std::string file = w.Dir.File("saved.txt");
    w.Boxes.SaveNames = {file};
    w.Click(w.btnSave);
    ASSERT_TRUE(std::filesystem::exists(file));

    const ProcessResult check = RunProcess({BuiltProgram("zeloctl"), "check", file});
    EXPECT_EQ(check.ExitCode, 0) << check.Out << check.Err;
    sim::GatewaySim gateway;
    const std::string pty = gateway.OpenPty();
    gateway.Start();
    const ProcessResult download = RunProcess({BuiltProgram("zeloctl"), "download", "--device", pty, file});
    EXPECT_EQ(download.ExitCode, 0) << download.Err;
    EXPECT_EQ(gateway.Configuration(), w.Lines());
}

} // namespace

// The monitor window on the simulator's bus, over both links: named lines with their time, the filter, Pause,
// Clear and Save log; a download while it runs asks to stop it first and offers it again afterwards.
TEST(Monitor, ShowsNamedLinesAndStepsAsideForADownload) {
    const Watchdog watchdog(90);
    const struct {
        bool tcp;
        bool hex;
        std::string log; // the saved log's name
    } cases[] = {{false, false, "watch.txt"}, {true, true, "watch.csv"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.log);
        sim::SimOptions options;
        options.BusRate = 500;
        sim::GatewaySim gateway(options);
        const std::string where = c.tcp ? std::to_string(gateway.ListenTcp(0)) : gateway.OpenPty();
        gateway.Start();
        FakeWindow w(c.tcp ? "[SerialPort]\r\nDevice=TCP/IP\r\nHost=127.0.0.1\r\nPort=" + where + "\r\n"
                           : Settings(where));
        w.Boxes.Files.push_back(w.Dir.Write("names.csv", "Group name;Address;DPT\nKitchen;1/2/3;1.001\n"
                                                         "Hall, upstairs;1/2/4;1.001\n"));
        w.Click(w.btnImport);
        w.Click(w.btnAbort);
        w.EditCommandList(std::string("#SETUP=1.1.250;ON;") + (c.hex ? "ON" : "OFF") +
                          ";OFF\n#DG1/2/3-1/2/4=BIT;RW\n#DG3/0/0=VALUE;R\n");
        w.Click(w.btnDownload);
        ASSERT_EQ(gateway.Configuration().size(), 3u) << w.labStatus.Value;
        w.Boxes.Boxes.clear();

        w.Click(w.btnMonitor);
        ASSERT_TRUE(w.Monitor);
        FakeMonitor& m = *w.Monitor;
        EXPECT_TRUE(m.Shown);
        EXPECT_EQ(m.Caption, MonitorCaption);
        ASSERT_TRUE(m.TickUntilShown(6)) << m.labStatus.Value;
        const std::regex shown(
            std::string(R"([0-9]{4}-[0-9]{2}-[0-9]{2} [0-9:]{8}\.[0-9]{3} 1\.1\.[0-9]+ )") +
            (c.hex ? R"((0A03 \[Kitchen\]|0A04 \[Hall, upstairs\]|1800) W [0-9A-F]{2})"
                   : R"((1/2/3 \[Kitchen\]|1/2/4 \[Hall, upstairs\]|3/0/0) W [0-9A-F]{2})"));
        for (const auto& line : m.lstLines.Shown)
            EXPECT_TRUE(std::regex_match(line, shown)) << line;
        EXPECT_EQ(m.labCount.Value, std::to_string(m.lstLines.Shown.size()) + " lines");

        // The filter by address in the other form, then by a name's text.
        m.txtFilter.Value = c.hex ? "1/2/4" : "hall";
        m.Logic->Run(&MonitorWindow::txtFilterChange);
        ASSERT_TRUE(m.TickUntilShown(3));
        for (const auto& line : m.lstLines.Shown)
            EXPECT_NE(line.find("[Hall, upstairs]"), std::string::npos) << line;
        // Paused, the lines are still read, and show once the pause ends.
        m.chkPause.Value = true;
        m.Logic->Run(&MonitorWindow::chkPauseClick);
        const std::size_t onShow = m.lstLines.Shown.size();
        const std::size_t received = m.Logic->Received();
        while (m.Logic->Received() < received + 6)
            m.Logic->Tick();
        EXPECT_EQ(m.lstLines.Shown.size(), onShow);
        m.chkPause.Value = false;
        m.Logic->Run(&MonitorWindow::chkPauseClick);
        EXPECT_GT(m.lstLines.Shown.size(), onShow);

        w.Boxes.SaveNames.push_back(w.Dir.File(c.log));
        m.Logic->Run(&MonitorWindow::btnSaveLogClick);
        std::string expected = c.tcp ? "time,line,names\r\n" : "";
        for (const auto& line : m.lstLines.Shown) {
            if (!c.tcp) {
                expected += line + "\n";
                continue;
            }
            const std::size_t name = line.find(" [");
            const std::size_t end = line.find("] ");
            expected += line.substr(0, 23) + "," + line.substr(24, name - 24) + line.substr(end + 1) +
                        ",\"Hall, upstairs\"\r\n";
        }
        EXPECT_EQ(ReadBytes(w.Dir.File(c.log)), expected);

        // A download: the monitor is stopped first, with consent, and offered again afterwards.
        w.Boxes.Answers = {box::IdYes, box::IdYes};
        w.Click(w.btnDownload);
        ASSERT_EQ(w.Boxes.Boxes.size(), 2u);
        EXPECT_EQ(w.Boxes.Boxes[0].Text, MonitorStopQuestion);
        EXPECT_EQ(w.Boxes.Boxes[1].Text, MonitorRestartQuestion);
        EXPECT_EQ(w.labStatus.Value, "Configuration loaded successfully!");
        EXPECT_TRUE(m.Logic->Running());
        EXPECT_TRUE(m.Ticking);
        // Kept running when the user says No: nothing is sent.
        w.Boxes.Boxes.clear();
        w.Boxes.Answers = {box::IdNo};
        const std::size_t commands = gateway.Received().size();
        w.Click(w.btnDownload);
        EXPECT_EQ(gateway.Received().size(), commands);
        EXPECT_TRUE(m.Logic->Running());

        m.Logic->Run(&MonitorWindow::btnClearClick);
        EXPECT_TRUE(m.lstLines.Shown.empty());
        EXPECT_EQ(m.labCount.Value, "0 lines, 0 shown");
        m.Logic->Run(&MonitorWindow::FormClose);
        EXPECT_FALSE(m.Logic->Running());
        EXPECT_FALSE(m.Ticking);
    }
}

// A gateway that goes away ends the monitor's reading with the reason; the lines stay on show.
TEST(Monitor, LostLinkIsSaid) {
    const Watchdog watchdog(30);
    sim::SimOptions options;
    options.BusRate = 500;
    auto gateway = std::make_unique<sim::GatewaySim>(options);
    const int port = gateway->ListenTcp(0);
    gateway->Start();
    FakeWindow w("[SerialPort]\r\nDevice=TCP/IP\r\nHost=127.0.0.1\r\nPort=" + std::to_string(port) + "\r\n");
    w.EditCommandList("#SETUP=1.1.250;OFF;OFF;OFF\n#DG1/2/3=BIT;RW\n");
    w.Click(w.btnDownload);
    w.Click(w.btnMonitor);
    FakeMonitor& m = *w.Monitor;
    EXPECT_EQ(m.labStatus.Value, "Reading 127.0.0.1:" + std::to_string(port) + ". No names.");
    ASSERT_TRUE(m.TickUntilShown(2));
    gateway.reset();
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (m.Ticking && std::chrono::steady_clock::now() < end)
        m.Logic->Tick();
    EXPECT_FALSE(m.Ticking);
    EXPECT_EQ(m.labStatus.Value.substr(0, 32), "Connection to the gateway lost: ") << m.labStatus.Value;
    EXPECT_GE(m.lstLines.Shown.size(), 2u);
    EXPECT_EQ(m.lstLines.Shown[0].substr(24), "1/2/3 W 00");
}

// The boxes of a download into the gateway and of the monitor stepping aside for it, in German.
TEST(Catalogue, DownloadBoxesInGerman) {
    const Watchdog watchdog(60);
    const auto refused = [](const sim::SimOptions& options) {
        return [options](FakeWindow&) {
            Gateway g(options);
            g.Window.AddRange("1/0/0", "1/0/0", 1);
            g.Window.Click(g.Window.btnDownload);
            return LastBox(g.Window);
        };
    };
    const auto monitorAside = [](std::deque<int> answers) {
        return [answers](FakeWindow&) {
            Gateway g;
            g.Window.Click(g.Window.btnMonitor);
            g.Window.Boxes.Answers = answers;
            g.Window.Click(g.Window.btnDownload);
            return LastBox(g.Window);
        };
    };
    const GermanBox boxes[] = {
        {"a line the gateway refuses", refused(Options(2, "ERR")),
         "Fehler „ERR“ beim Konfigurieren des Geräts!\nBitte Zeile 2 der Befehlsliste prüfen!"},
        {"an erase the gateway refuses", refused(Options(0, {}, -1, true)),
         "Fehler „\\x0aOk“ beim Löschen der alten Konfiguration!"},
        {"the monitor asked to stop", monitorAside({box::IdNo}),
         "Der Monitor liest die Verbindung zum Gateway. Für die Übertragung beenden?"},
        {"the monitor offered again", monitorAside({box::IdYes, box::IdNo}),
         "Die Übertragung ist beendet. Den Monitor wieder starten?"},
    };
    ExpectGermanBoxes(boxes);
}
