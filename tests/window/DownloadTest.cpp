// Downloads through the Download button into the gateway simulator on a pseudo-terminal.
#include "FakeWindow.h"
#include "sim/GatewaySim.h"

#include <gtest/gtest.h>

using namespace zelo;
using namespace zelo::test;

namespace {

using Lines = std::vector<std::string>;

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

void ExpectIdle(FakeWindow& w) {
    EXPECT_FALSE(w.Logic().Converter->IsOpen());
    EXPECT_FALSE(w.Logic().DownloadRunning());
    EXPECT_FALSE(w.winMain.WaitCursor);
    for (const IControl* area :
         {static_cast<const IControl*>(&w.DeviceSetupContainer),
          static_cast<const IControl*>(&w.GroupAddressContainer),
          static_cast<const IControl*>(&w.CommandList), static_cast<const IControl*>(&w.ButtonContainer)})
        EXPECT_TRUE(area->Enabled());
    // Each control has its own state back: the import's buttons stay disabled.
    EXPECT_FALSE(w.Usable(layout::ControlId::btnIgnore));
    EXPECT_TRUE(w.Usable(layout::ControlId::btnAdd));
}

TEST(Download, IntoTheSimulator) {
    sim::GatewaySim gateway;
    const std::string pty = gateway.OpenPty();
    gateway.Start();
    FakeWindow w(Settings(pty));
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

    // The label and gauge moved line by line while the areas were locked and the hourglass showed.
    std::vector<std::pair<std::string, int>> steps;
    for (const Frame& frame : w.Frames) {
        EXPECT_FALSE(frame.AreasEnabled);
        EXPECT_TRUE(frame.WaitCursor);
        EXPECT_EQ(frame.Maximum, 4);
        if (steps.empty() || steps.back() != std::make_pair(frame.Status, frame.Position))
            steps.emplace_back(frame.Status, frame.Position);
    }
    const std::vector<std::pair<std::string, int>> expected = {
        {"Erasing old configuration...", 0}, {"Loading new configuration...", 1},
        {"Loading new configuration...", 2}, {"Loading new configuration...", 3},
        {"Loading new configuration...", 4}, {"Configuration loaded successfully!", 4}};
    EXPECT_EQ(steps, expected);

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
    } cases[] = {
        {Options(2, "ERR"),
         "Error \"ERR\" occured while configuring device!\nPlease check line 2 of configuration list!",
         "Failed to load new configuration!", 2},
        {Options(1, "Bad setup"),
         "Error \"Bad setup\" occured while configuring device!\nPlease check line 1 of configuration list!",
         "Failed to load new configuration!", 1},
        {Options(0, {}, -1, true), "Error \"\nOk\" occured while erasing old configuration!",
         "Erasing old configuration...", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Message);
        sim::GatewaySim gateway(c.Options);
        const std::string pty = gateway.OpenPty();
        gateway.Start();
        FakeWindow w(Settings(pty));
        w.AddRange("1/0/0", "1/0/0", 1);
        w.Click(w.btnDownload);
        ASSERT_EQ(w.Boxes.Boxes.size(), 1u);
        EXPECT_EQ(w.Boxes.Boxes[0].Text, c.Message);
        EXPECT_EQ(w.Boxes.Boxes[0].Title, w.winMain.Value);
        EXPECT_EQ(w.Boxes.Boxes[0].Flags, 16);
        EXPECT_EQ(w.labStatus.Value, c.Status);
        EXPECT_EQ(w.ProgressBar.Position, c.Position);
        ExpectIdle(w);
    }
}

TEST(Download, SilentGateway_WaitsForTimeout) {
    sim::GatewaySim gateway(Options(0, {}, 3));
    const std::string pty = gateway.OpenPty();
    gateway.Start();
    FakeWindow w(Settings(pty));
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
        w.Click(w.btnDownload);
        ASSERT_EQ(w.Boxes.Boxes.size(), 1u);
        EXPECT_EQ(w.Boxes.Boxes[0].Text, c.Message);
        EXPECT_EQ(w.Boxes.Boxes[0].Title, w.winMain.Value);
        EXPECT_EQ(w.Boxes.Boxes[0].Flags, 16);
        EXPECT_EQ(w.Boxes.Boxes[0].Detail, c.Detail);
        EXPECT_EQ(w.labStatus.Value, "Ready...");
        ExpectIdle(w);
    }
}

TEST(Download, DeviceAndBaudrateChoicesSetTheLink) {
    sim::GatewaySim first;
    sim::GatewaySim second;
    FakeWindow w;
    // Each pty gets a link name in the folder, so the list can offer them and the user can pick one.
    const std::string firstLink = w.Dir.File("gw1");
    const std::string secondLink = w.Dir.File("gw2");
    first.OpenPty(firstLink);
    second.OpenPty(secondLink);
    first.Start();
    second.Start();
    w.cmbDevice.Items.push_back(firstLink);
    w.cmbDevice.Items.push_back(secondLink);
    w.Choose(w.cmbDevice, firstLink);
    w.Click(w.btnDownload);
    EXPECT_EQ(first.Configuration().size(), 1u);
    w.Choose(w.cmbDevice, secondLink);
    EXPECT_EQ(w.Logic().Converter->Device(), secondLink);
    w.Choose(w.cmbBaudrate, "57600");
    EXPECT_EQ(w.Logic().Converter->Baudrate(), 57600);
    w.Click(w.btnDownload);
    EXPECT_TRUE(w.Boxes.Boxes.empty());
    EXPECT_EQ(second.Configuration().size(), 1u);
    EXPECT_EQ(first.Received().size(), 3u);
}

// The close box during a download: the request waits until the download has ended, then the window goes.
TEST(Download, CloseRequestIsHeldUntilTheEnd) {
    sim::GatewaySim gateway;
    const std::string pty = gateway.OpenPty();
    gateway.Start();
    FakeWindow w(Settings(pty));
    bool closedAtOnce = true;
    w.OnFirstFrame = [&w, &closedAtOnce] { closedAtOnce = w.CloseBox(); };
    w.Click(w.btnDownload);
    EXPECT_FALSE(closedAtOnce);
    EXPECT_EQ(gateway.Configuration(), Lines{"#SETUP=15.15.255;OFF;OFF;OFF"});
    ASSERT_FALSE(w.Frames.empty());
    EXPECT_EQ(w.Frames.back().Status, "Configuration loaded successfully!");
    EXPECT_TRUE(w.winMain.Closed);
    EXPECT_TRUE(w.Boxes.Boxes.empty());
    ExpectIdle(w);
}

} // namespace
